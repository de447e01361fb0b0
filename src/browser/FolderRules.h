#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace zavio {

// Whether a file-list item counts as a picture: its extension is ".jpg",
// ".jpeg" or ".bmp" in any mix of letter case.
bool isCountedPicture(const QString& name);

// Sorts names without regard to case, ties broken by the bytes of the name,
// so the order is the same on every machine whatever its locale.
void sortNames(QStringList& names);

// The file list of a folder: files matching *.jpeg, *.jpg and *.bmp without
// regard to case, hidden files left out, sorted by sortNames.
QStringList listPictureFiles(const QString& folder);

// The subfolders of a folder, hidden ones left out, sorted by sortNames.
QStringList listSubfolders(const QString& folder);

// A list's horizontal scroll extent from the widths of its entries, in order:
// the running width rises to width + margin whenever an entry is wider than it,
// and the extent is the running width + 6.
int horizontalExtent(const std::vector<int>& widths, int margin);

// The path of name inside folder, with one "/" between them.
QString joinPath(const QString& folder, const QString& name);

} // namespace zavio
