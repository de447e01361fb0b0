#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

// The layers from the bottom up: imaging; common, under every window; the
// window folders; app on top. An include may point down or sideways within a
// layer, never up.
int layerOf(const QString& folder)
{
    static const QHash<QString, int> layers{
        {QStringLiteral("imaging"), 0}, {QStringLiteral("common"), 1},   {QStringLiteral("browser"), 2},
        {QStringLiteral("viewer"), 2},  {QStringLiteral("comments"), 2}, {QStringLiteral("rotation"), 2},
        {QStringLiteral("app"), 3},
    };
    return layers.value(folder, -1);
}

} // namespace

TEST(Layers, EveryIncludeBetweenFoldersPointsDown)
{
    const QString sources = QStringLiteral(ZAVIO_SOURCE_DIR "/src");
    const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*"([a-z]+)/[^"]+")"),
                                     QRegularExpression::MultilineOption);
    int files = 0;
    QStringList upward;
    QDirIterator it(sources, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString folder = path.mid(sources.size() + 1).section(u'/', 0, 0);
        const int from = layerOf(folder);
        ASSERT_GE(from, 0) << "a source folder outside the layers: " << folder.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++files;
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = include.globalMatch(text); match.hasNext();) {
            const QString target = match.next().captured(1);
            const int to = layerOf(target);
            if (to > from)
                upward.append(path.mid(sources.size() + 1) + QStringLiteral(" includes ") + target);
        }
    }
    EXPECT_GT(files, 50);
    EXPECT_TRUE(upward.isEmpty()) << upward.join(u'\n').toStdString();
}
