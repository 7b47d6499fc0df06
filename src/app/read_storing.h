// A finished read of the window goes into the store chosen under "设置", under
// the meter on that port and address (added to the book on first sight). The
// read's rows are only read here: whatever the store does, they stay in the
// record table for the operator to export.
#pragma once

#include "decoding/record_table.h"
#include "settings/settings_file.h"
#include "store/record_store.h"

#include <QString>

#include <optional>

struct FinishedRead {
    QString port;
    int address = 0;
    int deviceType = 0;
    int kindCode = 0;
    const RecordTable* table = nullptr; // "序号" first, as the decoders fill it
    int blocksAsked = 0;
    int blocksRead = 0;
    QString outcome; // the run's outcome value as text
    std::optional<double> clockOffsetS;
};

struct StoringOutcome {
    bool stored = false;
    StoredCounts counts;
    // "已保存N条新记录，M条已存在", the failure naming the store and the reason,
    // or empty when the store is off.
    QString message;
};

// The store a choice names; `defaultFile` is where the default file lies.
// nullopt for Off, and for a server text that is no usable URI (`error` says why).
std::optional<StoreLocation> storeLocationOf(const StoreChoice& choice, const QString& defaultFile,
                                             QString* error = nullptr);

// Stores the rows of `read` in an open store as one download.
StoringOutcome storeFinishedRead(RecordStore& store, const FinishedRead& read);
// Opens the chosen store for this read only; Off stores nothing and says nothing.
StoringOutcome storeFinishedRead(const StoreChoice& choice, const QString& defaultFile,
                                 const FinishedRead& read);
