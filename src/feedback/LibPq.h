#pragma once
// The PostgreSQL client library, loaded when the first error report is
// sent: the program starts without libpq and the libraries it brings (TLS,
// Kerberos, LDAP …), which most sessions never use.

#include <QString>
#include <libpq-fe.h>

struct LibPq {
  decltype(&::PQcancel) PQcancel;
  decltype(&::PQclear) PQclear;
  decltype(&::PQconnectPoll) PQconnectPoll;
  decltype(&::PQconnectStartParams) PQconnectStartParams;
  decltype(&::PQconninfoFree) PQconninfoFree;
  decltype(&::PQconninfoParse) PQconninfoParse;
  decltype(&::PQconsumeInput) PQconsumeInput;
  decltype(&::PQerrorMessage) PQerrorMessage;
  decltype(&::PQfinish) PQfinish;
  decltype(&::PQflush) PQflush;
  decltype(&::PQfreeCancel) PQfreeCancel;
  decltype(&::PQfreemem) PQfreemem;
  decltype(&::PQgetCancel) PQgetCancel;
  decltype(&::PQgetResult) PQgetResult;
  decltype(&::PQisBusy) PQisBusy;
  decltype(&::PQresultErrorMessage) PQresultErrorMessage;
  decltype(&::PQresultStatus) PQresultStatus;
  decltype(&::PQsendQueryParams) PQsendQueryParams;
  decltype(&::PQsetnonblocking) PQsetnonblocking;
  decltype(&::PQsocket) PQsocket;
  decltype(&::PQstatus) PQstatus;

  // The library, loaded on the first call (from any thread); nullptr when it
  // cannot be loaded or lacks a function, with the reason in `error`. A
  // failed load is tried again on the next call.
  static const LibPq *load(QString *error);
  // The library once load() has succeeded.
  static const LibPq &loaded();
};
