#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace zavio {

// One row of the folder list: the text shown, the folder it opens, how many
// steps it is indented, and whether it shows the open folder's icon.
struct FolderRow {
    QString text;
    QString path;
    int indent = 0;
    bool open = false;
    friend bool operator==(const FolderRow&, const FolderRow&) = default;
};

// The folder list for an absolute folder: the root "/", each ancestor from
// the root down one step further in, the folder itself, all of these open,
// then its subfolders in the order given, closed, one step in from the
// folder. currentRow is the folder's own row.
struct FolderRows {
    std::vector<FolderRow> rows;
    int currentRow = 0;
};
FolderRows folderRows(const QString& folder, const QStringList& subfolders);

} // namespace zavio
