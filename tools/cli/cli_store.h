// What the commands that keep readings share: opening the store that --db
// names, and storing a read block by block as it arrives, so a program killed
// in the middle keeps every block stored before.
#pragma once

#include "decoding/record_table.h"
#include "store/record_store.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

// The store `text` names, open. On failure the message is on stderr as
// "ql-rs485-cli COMMAND: store …" and the result is nullptr.
std::unique_ptr<RecordStore> openCliStore(const std::string& text, const char* command);

// Stores the rows of one read (one kind) under the meter on a port and address.
// After the first failure it stores nothing more; the read goes on and the
// message is told once on stderr.
class CliStoreWriter {
public:
    CliStoreWriter(RecordStore* store, const char* command) : m_store(store), m_command(command) {}

    bool failed() const { return m_failed; }
    const StoredCounts& counts() const { return m_counts; }

    // The meter on `port` at `address`, added to the book on first sight.
    bool useMeter(const std::string& port, int address, int deviceType);
    void begin(int kindCode, const RecordTable& table, int blocksAsked);
    // The rows of `table` not stored yet, with how many blocks are read.
    void flush(const RecordTable& table, int blocksRead);
    void finish(const RecordTable& table, int blocksRead, const std::string& outcome);
    // Counts of the kind begun last, and of any kind begun.
    const StoredCounts& kindCounts() const { return m_kindCounts; }
    StoredCounts countsOf(int kindCode) const
    {
        const auto found = m_perKind.find(kindCode);
        return found == m_perKind.end() ? StoredCounts{} : found->second;
    }
    qint64 meterId() const { return m_meterId; }

private:
    void report();

    RecordStore* m_store;
    const char* m_command;
    bool m_failed = false;
    qint64 m_meterId = 0;
    std::optional<qint64> m_download;
    int m_stored = 0; // rows of the current table stored so far
    int m_kindCode = 0;
    StoredCounts m_counts, m_kindCounts;
    std::map<int, StoredCounts> m_perKind;
};

// "stored NEW KNOWN"
void printStoredLine(const StoredCounts& counts);
