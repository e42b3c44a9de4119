import QtQuick
import "keyboard"

// The keyboard diagram on its own; the workspace gives it its size.
KeyboardDiagram {
}
