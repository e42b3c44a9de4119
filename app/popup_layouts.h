#pragma once

// A closed popup's item leaves the window, and a layout changed while it is out of the window
// (its buttons' captions after a language switch, say) is never arranged again when the popup
// comes back: it keeps the widths of the old captions. Telling every layout in the popup its
// children's sizes again once the popup shows makes it arrange what it now shows.

class QQuickItem;

namespace app {

// Schedules, for the next turn of the event loop, a new arrangement of every layout in
// `popupItem`'s tree (the popup's own item, with its header, content and footer); called as the
// popup is about to show.
void rearrangePopupLayouts(QQuickItem* popupItem);

} // namespace app
