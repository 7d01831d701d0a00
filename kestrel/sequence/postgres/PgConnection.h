#pragma once
// A libpq connection with the few calls the pool needs: parameterised statements whose
// failure says whether the server is still there. One thread at a time.
#include <libpq-fe.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::pool {

class PgResult {
 public:
  explicit PgResult(PGresult* r = nullptr) : r_(r, &PQclear) {}
  bool ok() const;
  int rows() const { return r_ ? PQntuples(r_.get()) : 0; }
  bool null(int row, int col) const { return PQgetisnull(r_.get(), row, col) != 0; }
  std::string text(int row, int col) const { return PQgetvalue(r_.get(), row, col); }
  long long number(int row, int col) const;
  // Rows an INSERT, UPDATE or DELETE changed.
  long long affected() const;
  // The server's five-character SQLSTATE ("" when there is none).
  std::string state() const;
  std::string error() const;

 private:
  std::unique_ptr<PGresult, void (*)(PGresult*)> r_;
};

class PgConnection {
 public:
  // `url` is a libpq connection string or URI. A password in it is refused: credentials
  // come from the service file, the password file (PGPASSFILE, ~/.pgpass) or the
  // environment, so they never show in a process list or a shell history.
  static std::unique_ptr<PgConnection> Open(const std::string& url, std::string* error);
  // The same checks of `url` alone, before any connection is tried.
  static bool CheckUrl(const std::string& url, std::string* error);
  // Host, port and database of `url` without anything secret, for messages.
  static std::string Where(const std::string& url);

  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  PgResult Exec(const std::string& sql, const std::vector<std::optional<std::string>>& params = {});
  // A statement parsed and planned once per session, then run by name: the pool's
  // hand-out is the one statement every board waits for.
  bool Prepare(const std::string& name, const std::string& sql, int params, std::string* error);
  PgResult ExecPrepared(const std::string& name, const std::vector<std::optional<std::string>>& params);
  // Runs statements that take no parameters, separated by ';', in one round trip.
  bool ExecScript(const std::string& sql, std::string* error);
  // False once a statement failed because the connection broke (server gone, network).
  bool alive() const { return PQstatus(conn_) == CONNECTION_OK; }
  std::string LastError() const;

 private:
  explicit PgConnection(PGconn* c) : conn_(c) {}
  PGconn* conn_;
};

// The first line of a libpq message (they end in newlines and sometimes run on).
std::string FirstLine(const std::string& message);

}  // namespace kestrel::pool
