#pragma once

#include <QByteArray>
#include <QString>

// Why an existing path cannot serve as a programme or data file, for reading or for writing: a
// named pipe, a device, a folder or a socket (also behind a symbolic link) would block the opening
// thread or never end. Empty when the path is a regular file or does not exist yet, so that new
// files stay allowed. The text follows the file's name in a message, e.g. "不是普通文件，而是命名管道".
QString regularFileProblem(const QString &path);

// Writes bytes as the whole of the file at path, replacing it only once all of it is on disk; a
// path that is not a regular file is refused. Empty when written, otherwise why not, to follow the
// path in a message.
QString saveWholeFile(const QString &path, const QByteArray &bytes);
