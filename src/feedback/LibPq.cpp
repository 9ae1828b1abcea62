#include "feedback/LibPq.h"

#include <atomic>
#include <dlfcn.h>
#include <mutex>

namespace {

std::mutex g_mutex;
std::atomic<const LibPq *> g_loaded{nullptr};

template <typename F> bool resolve(void *handle, const char *name, F &out, QString *error) {
  out = reinterpret_cast<F>(::dlsym(handle, name));
  if (!out)
    *error = QStringLiteral("libpq.so.5 has no %1").arg(QLatin1String(name));
  return out != nullptr;
}

} // namespace

const LibPq *LibPq::load(QString *error) {
  const std::lock_guard<std::mutex> lock(g_mutex);
  if (const LibPq *lib = g_loaded.load())
    return lib;
  void *handle = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char *why = ::dlerror();
    *error = QStringLiteral("cannot load libpq.so.5: %1").arg(QString::fromLocal8Bit(why ? why : "unknown error"));
    return nullptr;
  }
  static LibPq lib;
  QString missing;
#define QBRX_RESOLVE(name) resolve(handle, #name, lib.name, &missing)
  const bool ok = QBRX_RESOLVE(PQcancel) && QBRX_RESOLVE(PQclear) && QBRX_RESOLVE(PQconnectPoll) &&
                  QBRX_RESOLVE(PQconnectStartParams) && QBRX_RESOLVE(PQconninfoFree) &&
                  QBRX_RESOLVE(PQconninfoParse) && QBRX_RESOLVE(PQconsumeInput) && QBRX_RESOLVE(PQerrorMessage) &&
                  QBRX_RESOLVE(PQfinish) && QBRX_RESOLVE(PQflush) && QBRX_RESOLVE(PQfreeCancel) &&
                  QBRX_RESOLVE(PQfreemem) && QBRX_RESOLVE(PQgetCancel) && QBRX_RESOLVE(PQgetResult) &&
                  QBRX_RESOLVE(PQisBusy) && QBRX_RESOLVE(PQresultErrorMessage) && QBRX_RESOLVE(PQresultStatus) &&
                  QBRX_RESOLVE(PQsendQueryParams) && QBRX_RESOLVE(PQsetnonblocking) && QBRX_RESOLVE(PQsocket) &&
                  QBRX_RESOLVE(PQstatus);
#undef QBRX_RESOLVE
  if (!ok) {
    ::dlclose(handle);
    *error = missing;
    return nullptr;
  }
  g_loaded.store(&lib); // the library stays loaded for the rest of the run
  return &lib;
}

const LibPq &LibPq::loaded() {
  const LibPq *lib = g_loaded.load();
  Q_ASSERT(lib);
  return *lib;
}
