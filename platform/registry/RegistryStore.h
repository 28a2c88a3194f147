// The registry's storage: keys and values in one SQLite database, read and written in
// transactions. Used only by the registry API (Registry.cc), which owns names, handles and
// access rights.
//
// Classes:
//   StatementCache - the prepared statements of one connection, kept for its lifetime: a
//                   conversion opens hundreds of keys, and compiling each query again cost
//                   more than running it.
//   RegistryTxn   - the queries one transaction may make; names are UTF-8 and match by
//                   their folded form, which the caller supplies with the name.
//   RegistryStore - the process-wide connection; runs a function as a read or a write
//                   transaction, retrying while another process holds the database.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "WinTypes.h"

using KeyId = int64_t;

// The predefined roots have fixed key ids.
constexpr KeyId kClassesRootId = 1;
constexpr KeyId kCurrentUserId = 2;
constexpr KeyId kLocalMachineId = 3;

// A name as stored (original case) and as compared (folded).
struct RegName {
  std::string text;
  std::string fold;
};

struct KeyRow {
  KeyId id = 0;
  std::string name;
};

struct ValueRow {
  std::string name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

// Raised inside a transaction when SQLite fails; never leaves the registry library.
struct StoreError {
  int sqlite_code;
};

class StatementCache {
 public:
  struct Entry {
    sqlite3_stmt* stmt = nullptr;
    bool inUse = false;
  };

  StatementCache() = default;
  ~StatementCache() { Clear(); }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // The prepared statement for `sql` on `db`, marked in use until Return; nullptr when `sql`
  // is in use already (the caller prepares its own) or cannot be prepared (`code` says why).
  Entry* Take(sqlite3* db, const std::string& sql, int& code);
  // Resets the statement and clears its bindings for the next query.
  static void Return(Entry* entry);
  // Finalises every statement; called before the connection closes.
  void Clear();
  // Forgets the statements without finalising them: they belong to a connection this process
  // inherited and must not touch.
  void Abandon() { entries_.clear(); }

 private:
  std::unordered_map<std::string, Entry> entries_;  // node-based: entries never move
};

class RegistryTxn {
 public:
  RegistryTxn(sqlite3* db, StatementCache& cache) : db_(db), cache_(cache) {}

  bool KeyExists(KeyId id);
  std::optional<KeyId> FindChild(KeyId parent, const RegName& name);
  KeyId AddChild(KeyId parent, const RegName& name);
  // Subkeys in case-insensitive name order.
  std::optional<KeyRow> ChildAt(KeyId parent, DWORD index);
  std::vector<KeyRow> Children(KeyId parent);
  // Values in the order they were first set.
  std::optional<ValueRow> ValueAt(KeyId key, DWORD index);
  std::vector<ValueRow> Values(KeyId key);
  std::optional<ValueRow> GetValue(KeyId key, const RegName& name);
  // Replacing a value keeps its place in the enumeration and its original name.
  void SetValue(KeyId key, const RegName& name, DWORD type, const BYTE* data, DWORD size);
  bool DeleteValue(KeyId key, const RegName& name);
  // Deletes the key's values and all its descendants, and the key itself unless `keep_key`.
  void DeleteTree(KeyId id, bool keep_key);

 private:
  sqlite3* db_;
  StatementCache& cache_;
};

// LONG results are Win32 error codes (see Registry.h).
class RegistryStore {
 public:
  static RegistryStore& Instance();

  // Runs `body` in one transaction; its result is returned, and a failing result or a
  // StoreError rolls the transaction back.
  LONG Read(const std::function<LONG(RegistryTxn&)>& body);
  LONG Write(const std::function<LONG(RegistryTxn&)>& body);

  // The database path the environment selects now.
  static std::string Path();

 private:
  enum class Mode { kRead, kWrite };
  static void CloseAtExit();
  LONG Run(Mode mode, const std::function<LONG(RegistryTxn&)>& body);
  LONG RunOnce(Mode mode, const std::function<LONG(RegistryTxn&)>& body);
  LONG Connect(Mode mode);
  void Disconnect();
  // Runs one statement that returns no rows (BEGIN, COMMIT, ROLLBACK); an SQLite code.
  int Exec(const char* sql);

  std::mutex mutex_;       // serialises every use of the connection
  sqlite3* db_ = nullptr;  // guarded by mutex_
  StatementCache cache_;   // guarded by mutex_; db_'s statements
  std::string db_path_;    // guarded by mutex_; the file db_ stands for
  bool stand_in_ = false;  // guarded by mutex_; db_ is an empty in-memory registry
                           // standing for a file that does not exist yet
  int64_t owner_pid_ = 0;  // guarded by mutex_; a forked child opens its own
};
