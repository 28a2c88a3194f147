#include "RegistryStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <thread>

#include "HResult.h"

namespace {

constexpr const char* kPathEnvironment = "RECAST_REGISTRY";
constexpr const char* kDatabaseName = "recast/registry.db";
// How long SQLite waits for another process's lock before reporting busy, and how often a
// busy transaction is started again after that.
constexpr int kBusyTimeoutMs = 5000;
constexpr int kBusyRetries = 5;
constexpr auto kBusyRetryPause = std::chrono::milliseconds(20);

constexpr const char* kSchema =
    "BEGIN IMMEDIATE;"
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: a stale handle stays stale
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL,"
    "  UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key, fold));"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES"
    "  (1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),"
    "  (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),"
    "  (3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE');"
    "COMMIT;";

void Check(int code) {
  if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) throw StoreError{code};
}

// A prepared statement for the span of one query: taken from the connection's cache and
// handed back when it goes out of scope; prepared for the query alone (and finalised) when no
// cache is given or the cached one is in use.
class Statement {
 public:
  Statement(sqlite3* db, StatementCache* cache, const std::string& sql) {
    int code = SQLITE_OK;
    if (cache) cached_ = cache->Take(db, sql, code);
    Check(code);
    if (cached_) {
      stmt_ = cached_->stmt;
    } else {
      Check(sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr));
    }
  }
  ~Statement() {
    if (cached_)
      StatementCache::Return(cached_);
    else
      sqlite3_finalize(stmt_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value) {
    Check(sqlite3_bind_int64(stmt_, index, value));
    return *this;
  }
  Statement& Bind(int index, const std::string& text) {
    Check(sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  // An empty blob is bound as a zero-length blob, never as NULL.
  Statement& BindBlob(int index, const BYTE* data, DWORD size) {
    Check(size ? sqlite3_bind_blob(stmt_, index, data, static_cast<int>(size), SQLITE_TRANSIENT)
               : sqlite3_bind_zeroblob(stmt_, index, 0));
    return *this;
  }
  // True while there is a row.
  bool Step() {
    const int code = sqlite3_step(stmt_);
    Check(code);
    return code == SQLITE_ROW;
  }
  int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) {
    const auto* text = sqlite3_column_text(stmt_, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                : std::string();
  }
  std::vector<BYTE> Blob(int column) {
    const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>();
  }

 private:
  StatementCache::Entry* cached_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
};

ValueRow ReadValue(Statement& stmt) {
  return {stmt.Text(0), static_cast<DWORD>(stmt.Int(1)), stmt.Blob(2)};
}

LONG ErrorFromSqlite(int code) {
  switch (code & 0xFF) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ERROR_ACCESS_DENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_BUSY;
    case SQLITE_NOMEM:
      return ERROR_OUTOFMEMORY;
    case SQLITE_CANTOPEN:
      return ERROR_CANTOPEN;
    case SQLITE_IOERR:
    case SQLITE_FULL:
      return ERROR_REGISTRY_IO_FAILED;
    default:  // SQLITE_NOTADB, SQLITE_CORRUPT, a schema that is not ours
      return ERROR_BADDB;
  }
}

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

LONG ErrorFromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    default:
      return ERROR_CANTOPEN;
  }
}

// Creates the database's folder and an empty file (which SQLite takes as a new database),
// so that the reason for a failure is known precisely.
LONG CreateDatabaseFile(const std::string& path) {
  const auto parent = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
  if (error) return ErrorFromErrno(error.value());
  constexpr mode_t kFileMode = 0644;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
  if (fd < 0) return ErrorFromErrno(errno);
  ::close(fd);
  return ERROR_SUCCESS;
}

}  // namespace

StatementCache::Entry* StatementCache::Take(sqlite3* db, const std::string& sql, int& code) {
  code = SQLITE_OK;
  Entry& entry = entries_[sql];
  if (entry.inUse) return nullptr;
  if (!entry.stmt) {
    code = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()),
                              SQLITE_PREPARE_PERSISTENT, &entry.stmt, nullptr);
    if (code != SQLITE_OK) {
      sqlite3_finalize(entry.stmt);
      entries_.erase(sql);
      return nullptr;
    }
  }
  entry.inUse = true;
  return &entry;
}

void StatementCache::Return(Entry* entry) {
  // A statement left in the middle of its rows would keep its read open past the transaction.
  sqlite3_reset(entry->stmt);
  sqlite3_clear_bindings(entry->stmt);
  entry->inUse = false;
}

void StatementCache::Clear() {
  for (auto& [sql, entry] : entries_) sqlite3_finalize(entry.stmt);
  entries_.clear();
}

namespace {

bool HasSchema(sqlite3* db) {
  Statement stmt(db, nullptr, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'keys'");
  return stmt.Step();
}

}  // namespace

bool RegistryTxn::KeyExists(KeyId id) {
  Statement stmt(db_, &cache_, "SELECT 1 FROM keys WHERE id = ?");
  return stmt.Bind(1, id).Step();
}

std::optional<KeyId> RegistryTxn::FindChild(KeyId parent, const RegName& name) {
  Statement stmt(db_, &cache_, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
  if (!stmt.Bind(1, parent).Bind(2, name.fold).Step()) return std::nullopt;
  return stmt.Int(0);
}

KeyId RegistryTxn::AddChild(KeyId parent, const RegName& name) {
  Statement stmt(db_, &cache_, "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
  stmt.Bind(1, parent).Bind(2, name.text).Bind(3, name.fold).Step();
  return sqlite3_last_insert_rowid(db_);
}

std::optional<KeyRow> RegistryTxn::ChildAt(KeyId parent, DWORD index) {
  Statement stmt(db_, &cache_,
                 "SELECT id, name FROM keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?");
  if (!stmt.Bind(1, parent).Bind(2, index).Step()) return std::nullopt;
  return KeyRow{stmt.Int(0), stmt.Text(1)};
}

std::vector<KeyRow> RegistryTxn::Children(KeyId parent) {
  Statement stmt(db_, &cache_, "SELECT id, name FROM keys WHERE parent = ? ORDER BY fold");
  stmt.Bind(1, parent);
  std::vector<KeyRow> rows;
  while (stmt.Step()) rows.push_back({stmt.Int(0), stmt.Text(1)});
  return rows;
}

std::optional<ValueRow> RegistryTxn::ValueAt(KeyId key, DWORD index) {
  Statement stmt(db_, &cache_,
                 "SELECT name, type, data FROM vals WHERE key = ? ORDER BY rowid LIMIT 1 OFFSET ?");
  if (!stmt.Bind(1, key).Bind(2, index).Step()) return std::nullopt;
  return ReadValue(stmt);
}

std::vector<ValueRow> RegistryTxn::Values(KeyId key) {
  Statement stmt(db_, &cache_, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY rowid");
  stmt.Bind(1, key);
  std::vector<ValueRow> rows;
  while (stmt.Step()) rows.push_back(ReadValue(stmt));
  return rows;
}

std::optional<ValueRow> RegistryTxn::GetValue(KeyId key, const RegName& name) {
  Statement stmt(db_, &cache_, "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?");
  if (!stmt.Bind(1, key).Bind(2, name.fold).Step()) return std::nullopt;
  return ReadValue(stmt);
}

void RegistryTxn::SetValue(KeyId key, const RegName& name, DWORD type, const BYTE* data,
                           DWORD size) {
  Statement stmt(db_, &cache_,
                 "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?) "
                 "ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
  stmt.Bind(1, key).Bind(2, name.text).Bind(3, name.fold).Bind(4, type).BindBlob(5, data, size);
  stmt.Step();
}

bool RegistryTxn::DeleteValue(KeyId key, const RegName& name) {
  Statement stmt(db_, &cache_, "DELETE FROM vals WHERE key = ? AND fold = ?");
  stmt.Bind(1, key).Bind(2, name.fold).Step();
  return sqlite3_changes(db_) > 0;
}

void RegistryTxn::DeleteTree(KeyId id, bool keep_key) {
  // ?2 = 0 leaves the key itself out of the tree.
  constexpr const char* kTree =
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
      "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) ";
  const std::string values = std::string(kTree) + "DELETE FROM vals WHERE key IN tree";
  const std::string keys =
      std::string(kTree) + "DELETE FROM keys WHERE id IN tree AND (?2 OR id != ?1)";
  Statement(db_, &cache_, values).Bind(1, id).Step();
  Statement(db_, &cache_, keys).Bind(1, id).Bind(2, keep_key ? 0 : 1).Step();
}

RegistryStore& RegistryStore::Instance() {
  // Never destroyed: code running in static destructors may still use the registry, and the
  // connection is closed at exit (CloseAtExit) instead.
  static RegistryStore* const store = [] {
    auto* made = new RegistryStore;
    std::atexit(&RegistryStore::CloseAtExit);
    return made;
  }();
  return *store;
}

void RegistryStore::CloseAtExit() {
  RegistryStore& store = Instance();
  std::lock_guard lock(store.mutex_);
  // Closing the last connection to the file checkpoints the log into the database and removes
  // it; a process that never closes leaves every write it made in the log. A forked child's
  // inherited connection is its parent's to close.
  if (store.owner_pid_ == ::getpid()) store.Disconnect();
}

std::string RegistryStore::Path() {
  if (const char* path = std::getenv(kPathEnvironment); path && *path) return path;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
    return std::string(config) + "/" + kDatabaseName;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/" + kDatabaseName;
}

LONG RegistryStore::Read(const std::function<LONG(RegistryTxn&)>& body) {
  return Run(Mode::kRead, body);
}

LONG RegistryStore::Write(const std::function<LONG(RegistryTxn&)>& body) {
  return Run(Mode::kWrite, body);
}

LONG RegistryStore::Run(Mode mode, const std::function<LONG(RegistryTxn&)>& body) {
  std::lock_guard lock(mutex_);
  LONG result = ERROR_BUSY;
  for (int attempt = 0; attempt <= kBusyRetries && result == ERROR_BUSY; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kBusyRetryPause);
    result = Connect(mode);
    if (result == ERROR_SUCCESS) result = RunOnce(mode, body);
  }
  return result;
}

LONG RegistryStore::RunOnce(Mode mode, const std::function<LONG(RegistryTxn&)>& body) {
  // IMMEDIATE takes the write lock at the start, so two writers never deadlock upgrading.
  const char* begin = mode == Mode::kWrite ? "BEGIN IMMEDIATE" : "BEGIN";
  if (const int code = Exec(begin); code != SQLITE_OK) return ErrorFromSqlite(code);
  LONG result;
  try {
    RegistryTxn txn(db_, cache_);
    result = body(txn);
  } catch (const StoreError& error) {
    result = ErrorFromSqlite(error.sqlite_code);
  } catch (const std::bad_alloc&) {
    result = ERROR_OUTOFMEMORY;
  }
  if (result == ERROR_SUCCESS) {
    const int code = Exec("COMMIT");
    if (code == SQLITE_OK) return ERROR_SUCCESS;
    result = ErrorFromSqlite(code);
  }
  Exec("ROLLBACK");
  return result;
}

int RegistryStore::Exec(const char* sql) {
  int code = SQLITE_OK;
  StatementCache::Entry* entry = cache_.Take(db_, sql, code);
  if (!entry) return code != SQLITE_OK ? code : SQLITE_MISUSE;
  code = sqlite3_step(entry->stmt);
  StatementCache::Return(entry);
  return code == SQLITE_DONE || code == SQLITE_ROW ? SQLITE_OK : code;
}

LONG RegistryStore::Connect(Mode mode) {
  const std::string path = Path();
  // A connection inherited through fork belongs to the parent: leave it alone.
  if (owner_pid_ != ::getpid()) {
    cache_.Abandon();
    db_ = nullptr;
  }
  // An in-memory stand-in serves reads only while the file does not exist.
  const bool stand_in_expired = stand_in_ && (mode == Mode::kWrite || FileExists(path));
  if (db_ && path == db_path_ && !stand_in_expired) return ERROR_SUCCESS;
  Disconnect();

  const bool use_stand_in = mode == Mode::kRead && !FileExists(path);
  if (!use_stand_in && !FileExists(path)) {
    if (const LONG result = CreateDatabaseFile(path); result != ERROR_SUCCESS) return result;
  }
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  const int code = sqlite3_open_v2(use_stand_in ? ":memory:" : path.c_str(), &db_, flags, nullptr);
  if (code != SQLITE_OK) {
    const LONG result = ErrorFromSqlite(code);
    Disconnect();
    return result;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // Write-ahead logging: readers never wait for a writer, and a commit costs one sync.
  // A database that cannot be switched (read-only) keeps its mode.
  if (!use_stand_in) sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  db_path_ = path;
  stand_in_ = use_stand_in;
  owner_pid_ = ::getpid();
  try {
    if (!HasSchema(db_)) Check(sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr));
  } catch (const StoreError& error) {
    // Not a database, or one that cannot take our tables: report it, keep nothing open.
    const LONG result = ErrorFromSqlite(error.sqlite_code);
    Disconnect();
    return result;
  }
  return ERROR_SUCCESS;
}

void RegistryStore::Disconnect() {
  cache_.Clear();
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  db_path_.clear();
  stand_in_ = false;
}
