#pragma once

#include <QString>

// The administrator password is one for the whole program: the login window checks it before the
// administrator's windows open, and the command-line tool checks it before it reads or writes the
// administrator parameters of a controller.
namespace AdminPassword {

// Compared whole and case-sensitively: a stray blank is a wrong password.
bool matches(const QString &typed);

// The first line of a password file, without its line end. The file must be a regular file of at
// most a few kilobytes: a pipe or a device would block the tool, and a password is never longer.
// False with `error` set when it cannot be read so.
bool readFile(const QString &path, QString &password, QString &error);

} // namespace AdminPassword
