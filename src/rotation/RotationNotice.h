#pragma once

#include <QString>

namespace zavio {

// What the rotation window's loading of a picture came to.
struct RotationLoad {
    // The picture was decoded for the preview.
    bool decoded = false;
    // TPixelImage takes a file of its name (".jpeg" it does not).
    bool nameAccepted = false;
    // A 24-bit picture is held to be turned.
    bool held24Bit = false;
    // Why the grey pass over the held picture could not be done; empty when it was.
    QString greyPassMessage{};
};

// The notice the rotation window shows on opening a picture, before its
// preview is drawn; empty when there is nothing to tell. A decoded ".jpeg"
// is previewed but not turned; a picture that is not held as 24-bit, also one
// that could not be decoded, gets the 24-bit notice (the decode error itself
// is told after it, by the preview); else the grey pass's message, if any.
QString rotationNotice(const RotationLoad& load);

} // namespace zavio
