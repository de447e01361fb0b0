#include "browser/FolderRules.h"
#include "imaging/PictureFormats.h"
#include "rotation/PictureSaver.h"
#include "rotation/TPixelImage.h"

#include <QString>

#include <gtest/gtest.h>

using namespace zavio;

namespace {

// What every command makes of one name.
struct Reading {
    bool listed;
    PictureKind kind;
    bool rotatable;
    PictureKind savedAs;
    QString saveAsRefusal;
    PictureKind overwrittenAs;
};

Reading readingOf(const QString& name)
{
    const SaveAsChoice choice = saveAsChoice(name);
    return {isCountedPicture(name), pictureKindOf(name), TPixelImage::AcceptsFileName(name), choice.kind,
            choice.refusal,         overwriteKind(name)};
}

void expectReading(const char* name, const Reading& expected)
{
    const QString text = QString::fromUtf8(name);
    const Reading got = readingOf(text);
    EXPECT_EQ(got.listed, expected.listed) << name;
    EXPECT_EQ(got.kind, expected.kind) << name;
    EXPECT_EQ(got.rotatable, expected.rotatable) << name;
    EXPECT_EQ(got.savedAs, expected.savedAs) << name;
    EXPECT_EQ(got.saveAsRefusal, expected.saveAsRefusal) << name;
    EXPECT_EQ(got.overwrittenAs, expected.overwrittenAs) << name;
}

} // namespace

TEST(PictureFormats, TakesTheExtensionFromTheLastDotOfTheNamesLastPart)
{
    struct Case {
        const char16_t* name;
        const char16_t* extension;
    };
    const Case cases[] = {
        {u"a.JPG", u".JPG"},
        {u"x.txt.jpg", u".jpg"},
        {u"x.jpg.txt", u".txt"},
        {u"a.b.c.Bmp", u".Bmp"},
        {u".bmp", u".bmp"},
        {u"/home/u/.jpeg", u".jpeg"},
        {u"f.", u"."},
        {u"noext", u""},
        {u"", u""},
        {u"dir.jpg/file", u""},
        {u"/p/x.bmp/out.jpg", u".jpg"},
        {u"/home/u/写真/d.bmp", u".bmp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(extensionOf(QStringView(c.name)), QStringView(c.extension))
            << QStringView(c.name).toString().toStdString();
}

TEST(PictureFormats, EveryCommandReadsItsOwnColumnOfTheOneTable)
{
    const QString refusedJpeg = kOnlyJpgExtension;
    const QString wrong = kWrongExtension;
    // ".jpg" and ".bmp" in any case: listed, turned, saved and overwritten as their kind.
    for (const char* name : {"a.jpg", "A.JPG", "a.JpG", "x.txt.jpg", "/p.bmp/a.jpg"})
        expectReading(name, {true, PictureKind::Jpeg, true, PictureKind::Jpeg, {}, PictureKind::Jpeg});
    for (const char* name : {"a.bmp", "A.BMP", "a.b.c.bMp", "/p.jpg/a.bmp", ".bmp"})
        expectReading(name, {true, PictureKind::Bmp, true, PictureKind::Bmp, {}, PictureKind::Bmp});
    // ".jpeg" is listed and shown, but not turned, refused by save-as with its
    // own message, and overwritten as a JPEG.
    for (const char* name : {"a.jpeg", "A.JPEG", "a.jpg.Jpeg", ".jpeg"})
        expectReading(name, {true, PictureKind::Jpeg, false, PictureKind::None, refusedJpeg, PictureKind::Jpeg});
    // No known extension, or one only in a folder's name: no command takes it.
    for (const char* name : {"a.png", "noext", "", "f.", "x.jpg.txt", "e.jpgx", "jpg", "dir.jpg/file", "/p.bmp/"})
        expectReading(name, {false, PictureKind::None, false, PictureKind::None, wrong, PictureKind::None});
}

TEST(PictureFormats, TheSaveDialogFiltersTheFormatsSaveAsWrites)
{
    const QString filter = saveAsNameFilter();
    EXPECT_EQ(filter, QStringLiteral("画像ファイル(*.jpg;*.bmp) (*.jpg *.JPG *.bmp *.BMP)"));
    // Every pattern the dialog matches names a file that save-as writes.
    const QString patterns = filter.section(u'(', -1).chopped(1);
    for (const QString& pattern : patterns.split(u' ')) {
        const QString name = QStringLiteral("out") + pattern.mid(1);
        EXPECT_NE(saveAsChoice(name).kind, PictureKind::None) << pattern.toStdString();
    }
}
