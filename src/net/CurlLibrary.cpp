#include "net/CurlLibrary.h"

#include <QFile>
#include <QHash>

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace gw {

namespace {

    std::mutex& tableLock()
    {
        static std::mutex lock;
        return lock;
    }

    QString& fileName()
    {
        static QString name = QStringLiteral("libcurl.so.4");
        return name;
    }

    template <typename Function> void resolve(void* library, const char* symbolName, Function& slot, QString& error)
    {
        void* symbol = dlsym(library, symbolName);
        if (!symbol) {
            if (error.isEmpty())
                error = QStringLiteral("the HTTP library has no %1").arg(QLatin1String(symbolName));
            return;
        }
        static_assert(sizeof slot == sizeof symbol);
        std::memcpy(&slot, &symbol, sizeof symbol);
    }

    std::unique_ptr<CurlLibrary> open(const QString& name)
    {
        auto curl = std::make_unique<CurlLibrary>();
        // Kept open for good: handles and the global set-up of the library outlive any caller.
        void* library = dlopen(QFile::encodeName(name).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            const char* why = dlerror();
            curl->error = QStringLiteral("the HTTP library %1 could not be loaded: %2")
                              .arg(name, QString::fromLocal8Bit(why ? why : "unknown reason"));
            return curl;
        }
        QString& error = curl->error;
        resolve(library, "curl_global_init", curl->globalInit, error);
        resolve(library, "curl_easy_init", curl->easyInit, error);
        resolve(library, "curl_easy_cleanup", curl->easyCleanup, error);
        resolve(library, "curl_easy_setopt", curl->easySetopt, error);
        resolve(library, "curl_easy_getinfo", curl->easyGetinfo, error);
        resolve(library, "curl_easy_perform", curl->easyPerform, error);
        resolve(library, "curl_easy_strerror", curl->easyStrerror, error);
        resolve(library, "curl_slist_append", curl->slistAppend, error);
        resolve(library, "curl_slist_free_all", curl->slistFreeAll, error);
        resolve(library, "curl_share_init", curl->shareInit, error);
        resolve(library, "curl_share_setopt", curl->shareSetopt, error);
        resolve(library, "curl_share_cleanup", curl->shareCleanup, error);
        if (!error.isEmpty())
            error = QStringLiteral("%1 (%2)").arg(error, name);
        else if (curl->globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            error = QStringLiteral("the HTTP library %1 could not be set up").arg(name);
        return curl;
    }

} // namespace

const CurlLibrary& curlLibrary()
{
    // Never destroyed: a client torn down late in the program's exit may still call into it.
    static auto* opened = new QHash<QString, std::shared_ptr<const CurlLibrary>>;
    const std::lock_guard guard(tableLock());
    std::shared_ptr<const CurlLibrary>& entry = (*opened)[fileName()];
    if (!entry)
        entry = open(fileName());
    return *entry;
}

QString curlLibraryFile()
{
    const std::lock_guard guard(tableLock());
    return fileName();
}

void setCurlLibraryFile(const QString& name)
{
    const std::lock_guard guard(tableLock());
    fileName() = name;
}

} // namespace gw
