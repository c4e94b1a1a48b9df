// Groups the registry changes that one thread makes into one atomic rewrite of the hive file.
//
// While the outermost batch of a thread lives, that thread holds the hive's write lock (other
// writers and readers wait), its calls see its own changes at once, and nothing is written;
// commit() (or the end of the outermost batch) writes every change in one replacement of the file,
// or, when that fails, none of them. Batches nest: an inner batch's end writes nothing. Used by
// self-registration, which sets a few hundred values at a time.
#pragma once

#include "registry/winreg.h"

namespace oru::registry {

class ChangeBatch {
public:
    ChangeBatch();
    ~ChangeBatch();
    ChangeBatch(const ChangeBatch&) = delete;
    ChangeBatch& operator=(const ChangeBatch&) = delete;

    // Ends the batch: the outermost writes the hive and answers ERROR_SUCCESS when every change of
    // the batch is stored (or there was none), ERROR_BADDB when the hive could not be read at the
    // start, ERROR_CANTWRITE when the new file could not be written (the old one stays). An inner
    // batch answers ERROR_SUCCESS. A second call answers the first call's status.
    LSTATUS commit();

private:
    bool ended_ = false;
    LSTATUS status_ = ERROR_SUCCESS;
};

}  // namespace oru::registry
