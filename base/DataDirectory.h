#pragma once

#include <QString>

// The folder that programme and data file dialogs start in: "data" beside the executable, created
// when missing. When that folder cannot be made or written (a program installed into a read-only
// prefix), the user's own data location is used instead, created the same way. Returns the
// absolute path without a trailing slash.
QString defaultDataDirectory();
