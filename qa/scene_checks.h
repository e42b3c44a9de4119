// One judge for whatever the window shows, open popups and dialogs included: texts that are cut
// where they should fit, texts too faint against what is behind them, control outlines that do
// not stand out from their surroundings, controls off the window, and controls or texts lying on
// top of one another. It reads the live scene and one grabbed picture of it; nothing is changed.
#pragma once

#include <QColor>
#include <QJsonArray>
#include <QString>

class QImage;
class QQuickWindow;

namespace qa {

// Contrast ratio of two opaque colours as the accessibility guidelines define it (1 to 21).
double contrastRatio(const QColor& a, const QColor& b);

// Normal text needs 4.5:1, large text (24 px, or 18.7 px bold) and a control's outline 3:1.
inline constexpr double kTextContrast = 4.5;
inline constexpr double kLargeTextContrast = 3.0;
inline constexpr double kOutlineContrast = 3.0;

struct SceneVerdict {
    QJsonArray issues; // {"kind": ..., "what": ..., ...}
    int texts = 0;     // texts judged
    int controls = 0;  // controls judged
};

// `picture` is the window as grabbed right before, at the window's own size.
SceneVerdict judgeScene(const QQuickWindow& window, const QImage& picture);

// One line per issue, for a test's failure message.
QString describeIssues(const QJsonArray& issues);

} // namespace qa
