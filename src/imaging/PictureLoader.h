#pragma once

#include "imaging/FilePath.h"
#include "imaging/PictureFormats.h"
#include "imaging/TBitmap.h"

#include <QString>

namespace zavio {

// Fills bitmap from the file by its kind (pictureKindOf). Returns false, leaving the bitmap as
// it was, for a file of no known kind. Throws PictureError, naming the file,
// when it cannot be read or decoded; the bitmap is then unchanged too.
bool loadPicture(const FilePath& file, TBitmap& bitmap);

// As loadPicture, but a JPEG is decoded into scratch's own pixels when its
// size allows, so a caller loading picture after picture reuses one buffer.
// After an error scratch holds no usable picture.
bool loadPictureInto(const FilePath& file, TBitmap& scratch);

// As loadPictureInto, for a window that shows the picture: a file of no known
// kind is a PictureError naming it too.
void loadShownPictureInto(const FilePath& file, TBitmap& scratch);

// The whole content of a file, or PictureError naming it.
QByteArray readPictureFile(const FilePath& file);

// Raises Qt's image allocation limit to the picture budget; called once at start.
void configureImageReaders();

} // namespace zavio
