#include "migrations.h"

namespace kestview::results {

// Booleans are INTEGER 0/1 in both engines; times are ISO 8601 text (started_utc sorts and
// compares as text); units stand in the column names as in the JSON record.
const std::vector<Migration>& migrations() {
    static const std::vector<Migration> steps = {
        {1,
         {QStringLiteral("CREATE TABLE runs ("
                         " run_id TEXT PRIMARY KEY,"
                         " station TEXT NOT NULL,"
                         " operator TEXT NOT NULL,"
                         " software_version TEXT NOT NULL,"
                         " adapter_key TEXT NOT NULL,"
                         " mac_address TEXT NOT NULL,"
                         " serial_number TEXT NOT NULL,"
                         " baseband TEXT NOT NULL,"
                         " started TEXT NOT NULL,"
                         " ended TEXT NOT NULL,"
                         " started_utc TEXT NOT NULL,"
                         " run_day TEXT NOT NULL,"
                         " elapsed_seconds DOUBLE PRECISION,"
                         " test_seconds DOUBLE PRECISION,"
                         " time_scale DOUBLE PRECISION,"
                         " mask_offset_db DOUBLE PRECISION,"
                         " result TEXT NOT NULL CHECK (result IN ('pass', 'fail')),"
                         " failure_reason TEXT NOT NULL,"
                         " stored_in_adapter INTEGER CHECK (stored_in_adapter IN (0, 1)),"
                         " store_outcome TEXT NOT NULL)"),
          QStringLiteral("CREATE TABLE run_rows ("
                         " run_id TEXT NOT NULL REFERENCES runs (run_id) ON DELETE CASCADE,"
                         " row_no INTEGER NOT NULL,"
                         " tag TEXT NOT NULL,"
                         " channel INTEGER NOT NULL,"
                         " passed INTEGER CHECK (passed IN (0, 1)),"
                         " output_power_dbm DOUBLE PRECISION NOT NULL,"
                         " set_point INTEGER NOT NULL,"
                         " integrator INTEGER NOT NULL,"
                         " first_lobe_dbc DOUBLE PRECISION NOT NULL,"
                         " second_lobe_dbc DOUBLE PRECISION NOT NULL,"
                         " limit_dbc DOUBLE PRECISION,"
                         " within_mask INTEGER CHECK (within_mask IN (0, 1)),"
                         " PRIMARY KEY (run_id, row_no))"),
          QStringLiteral("CREATE INDEX runs_by_day ON runs (run_day, station)"),
          QStringLiteral("CREATE INDEX runs_by_mac ON runs (mac_address, started_utc)"),
          QStringLiteral("CREATE INDEX runs_by_start ON runs (started_utc)"),
          // Failed rows are few: the yield's channel counts read only them.
          QStringLiteral("CREATE INDEX run_rows_failed ON run_rows (run_id, channel) WHERE passed = 0")}},
    };
    return steps;
}

int newestSchemaVersion() { return migrations().back().version; }

}  // namespace kestview::results
