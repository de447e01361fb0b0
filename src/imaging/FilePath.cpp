#include "imaging/FilePath.h"

#include <QFile>

namespace zavio {

FilePath::FilePath(const QString& text) : native_(QFile::encodeName(text)), text_(text) {}

FilePath FilePath::child(const FilePath& name) const
{
    if (native_.endsWith('/'))
        return {native_ + name.native_, text_ + name.text_};
    return {native_ + '/' + name.native_, text_ + u'/' + name.text_};
}

FilePath FilePath::fileName() const
{
    const qsizetype slash = native_.lastIndexOf('/');
    const qsizetype textSlash = text_.lastIndexOf(u'/');
    return {native_.mid(slash + 1), text_.mid(textSlash + 1)};
}

} // namespace zavio
