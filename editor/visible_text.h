#pragma once

// Text from someone else's file, made safe to show where the user judges what it will do: every
// character that would act as layout instead of showing itself (control characters, line and
// paragraph breaks, bidirectional controls, invisible format characters, spaces other than the
// plain one, broken UTF-16) appears as a visible escape such as ⟨U+202E⟩. A name then cannot
// open a fake block with line breaks, push a command out of sight, or reorder what is read.

#include <QString>

namespace editor {

// The text with each such character replaced by "⟨U+XXXX⟩" (four to six upper-case hexadecimal
// digits). A literal "⟨" is escaped as well, so every "⟨" shown begins an escape. Everything
// else, letters of any script included, stays as it is.
QString visibleText(const QString& text);

} // namespace editor
