#pragma once
// libcurl opened at the first transfer instead of linked: with its TLS and protocol libraries
// it maps megabytes that a start which downloads nothing never uses. The header gives the types
// and constants only; every call goes through the table below.
#include <QString>

#include <curl/curl.h>

namespace gw {

struct CurlLibrary
{
    CURLcode (*globalInit)(long flags) = nullptr;
    CURL* (*easyInit)() = nullptr;
    void (*easyCleanup)(CURL* handle) = nullptr;
    CURLcode (*easySetopt)(CURL* handle, CURLoption option, ...) = nullptr;
    CURLcode (*easyGetinfo)(CURL* handle, CURLINFO info, ...) = nullptr;
    CURLcode (*easyPerform)(CURL* handle) = nullptr;
    const char* (*easyStrerror)(CURLcode code) = nullptr;
    curl_slist* (*slistAppend)(curl_slist* list, const char* line) = nullptr;
    void (*slistFreeAll)(curl_slist* list) = nullptr;
    CURLSH* (*shareInit)() = nullptr;
    CURLSHcode (*shareSetopt)(CURLSH* share, CURLSHoption option, ...) = nullptr;
    CURLSHcode (*shareCleanup)(CURLSH* share) = nullptr;

    // Why the library cannot be used (not found, a function missing, its set-up failed);
    // empty when every entry above is set.
    QString error;

    bool ready() const { return error.isEmpty(); }
};

// The library of the file named by curlLibraryFile(), opened and set up on the first call for
// that name and kept until the program ends. The first call must come from one thread alone
// (the main thread asks before any transfer starts).
const CurlLibrary& curlLibrary();

// "libcurl.so.4" unless set otherwise; tests name a missing file to see a transfer fail cleanly.
QString curlLibraryFile();
void setCurlLibraryFile(const QString& fileName);

} // namespace gw
