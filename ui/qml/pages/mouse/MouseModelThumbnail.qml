import QtQuick

// A small picture of a mouse model for the model row, decoded small and kept in proportion.
Item {
    id: frame
    property url source

    implicitWidth: 32
    implicitHeight: 40

    Image {
        anchors.fill: parent
        source: frame.source
        sourceSize.height: 128
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
    }
}
