// The results database's schema, as numbered steps. A database is brought to the newest step this
// program knows when it is opened; one at a newer step than that is left untouched.
#pragma once

#include <QStringList>
#include <vector>

namespace kestview::results {

struct Migration {
    int version;
    QStringList statements;  // SQL that SQLite and PostgreSQL both take
};

const std::vector<Migration>& migrations();
int newestSchemaVersion();

}  // namespace kestview::results
