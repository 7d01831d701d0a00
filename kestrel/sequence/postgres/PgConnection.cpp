#include "sequence/postgres/PgConnection.h"

#include <cstdlib>

namespace kestrel::pool {

bool PgResult::ok() const {
  if (!r_) return false;
  const ExecStatusType s = PQresultStatus(r_.get());
  return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}

long long PgResult::number(int row, int col) const { return std::strtoll(PQgetvalue(r_.get(), row, col), nullptr, 10); }

long long PgResult::affected() const { return r_ ? std::strtoll(PQcmdTuples(r_.get()), nullptr, 10) : 0; }

std::string PgResult::state() const {
  const char* s = r_ ? PQresultErrorField(r_.get(), PG_DIAG_SQLSTATE) : nullptr;
  return s ? s : "";
}

std::string PgResult::error() const { return r_ ? FirstLine(PQresultErrorMessage(r_.get())) : "no result"; }

std::string FirstLine(const std::string& message) {
  std::string line = message.substr(0, message.find('\n'));
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

namespace {

struct Options {
  std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> list{nullptr, &PQconninfoFree};
  std::string Get(const char* keyword) const {
    for (const PQconninfoOption* o = list.get(); o && o->keyword; ++o)
      if (std::string(o->keyword) == keyword && o->val) return o->val;
    return "";
  }
};

bool Parse(const std::string& url, Options* out, std::string* error) {
  char* err = nullptr;
  out->list.reset(PQconninfoParse(url.c_str(), &err));
  if (!out->list) {
    *error = err ? FirstLine(err) : "cannot parse the connection string";
    PQfreemem(err);
    return false;
  }
  return true;
}

}  // namespace

std::string PgConnection::Where(const std::string& url) {
  Options o;
  std::string error;
  if (!Parse(url, &o, &error)) return url.substr(0, url.find('@'));
  std::string where;
  auto add = [&where](const char* name, const std::string& value) {
    if (value.empty()) return;
    if (!where.empty()) where += ' ';
    where += std::string(name) + "=" + value;
  };
  add("service", o.Get("service"));
  add("host", o.Get("host"));
  add("port", o.Get("port"));
  add("dbname", o.Get("dbname"));
  add("user", o.Get("user"));
  return where.empty() ? "the default database" : where;
}

bool PgConnection::CheckUrl(const std::string& url, std::string* error) {
  Options o;
  if (!Parse(url, &o, error)) return false;
  if (!o.Get("password").empty()) {
    *error = "the connection string holds a password; put it in ~/.pgpass, PGPASSFILE or a service file instead";
    return false;
  }
  return true;
}

std::unique_ptr<PgConnection> PgConnection::Open(const std::string& url, std::string* error) {
  if (!CheckUrl(url, error)) return nullptr;
  Options o;
  Parse(url, &o, error);
  // A station must notice a dead server within seconds, not after the kernel's TCP
  // time-outs: a board waits for its address meanwhile.
  std::vector<const char*> keys{"dbname", "application_name"};
  std::vector<const char*> values{url.c_str(), "kestrel"};
  if (o.Get("connect_timeout").empty() && !std::getenv("PGCONNECT_TIMEOUT")) {
    keys.push_back("connect_timeout");
    values.push_back("5");
  }
  if (o.Get("tcp_user_timeout").empty()) {
    keys.push_back("tcp_user_timeout");
    values.push_back("10000");
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* c = PQconnectdbParams(keys.data(), values.data(), 1);
  if (!c || PQstatus(c) != CONNECTION_OK) {
    *error = c ? FirstLine(PQerrorMessage(c)) : "out of memory";
    PQfinish(c);
    return nullptr;
  }
  // "relation already exists, skipping" and the like are not for the operator.
  PQsetNoticeProcessor(c, [](void*, const char*) {}, nullptr);
  return std::unique_ptr<PgConnection>(new PgConnection(c));
}

PgConnection::~PgConnection() { PQfinish(conn_); }

PgResult PgConnection::Exec(const std::string& sql, const std::vector<std::optional<std::string>>& params) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  return PgResult(PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                               nullptr, nullptr, 0));
}

bool PgConnection::Prepare(const std::string& name, const std::string& sql, int params, std::string* error) {
  PgResult r(PQprepare(conn_, name.c_str(), sql.c_str(), params, nullptr));
  if (r.ok()) return true;
  *error = r.error();
  return false;
}

PgResult PgConnection::ExecPrepared(const std::string& name, const std::vector<std::optional<std::string>>& params) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  return PgResult(PQexecPrepared(conn_, name.c_str(), static_cast<int>(values.size()), values.data(), nullptr,
                                 nullptr, 0));
}

bool PgConnection::ExecScript(const std::string& sql, std::string* error) {
  PgResult r(PQexec(conn_, sql.c_str()));
  if (r.ok()) return true;
  *error = r.error();
  return false;
}

std::string PgConnection::LastError() const { return FirstLine(PQerrorMessage(conn_)); }

}  // namespace kestrel::pool
