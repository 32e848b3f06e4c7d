// The libcurl calls of the programs, forwarded to libcurl loaded with dlopen on first use.
//
// Loading libcurl and the thirty libraries it depends on costs more than everything else a
// program does to start; only a wake via Internet needs it. So the programs are not linked with
// it: these definitions take the place of its functions, and the first call loads it. Without
// libcurl on the system, curl_easy_init gives nullptr and the other calls CURLE_FAILED_INIT.
#include <curl/curl.h>
#include <dlfcn.h>

#include <cstdarg>
#include <mutex>

namespace {

struct Fonctions {
    CURLcode (*globalInit)(long) = nullptr;
    void (*globalCleanup)() = nullptr;
    CURL* (*easyInit)() = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyPerform)(CURL*) = nullptr;
    void (*easyCleanup)(CURL*) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    const char* (*easyStrerror)(CURLcode) = nullptr;
    curl_slist* (*slistAppend)(curl_slist*, const char*) = nullptr;
    void (*slistFreeAll)(curl_slist*) = nullptr;
    bool complet = false;
};

template <typename F>
bool Charger(void* bibliotheque, const char* nom, F& fonction) {
    fonction = reinterpret_cast<F>(::dlsym(bibliotheque, nom));
    return fonction != nullptr;
}

const Fonctions& Curl() {
    static Fonctions f;
    static std::once_flag une;
    std::call_once(une, [] {
        void* b = nullptr;
        for (const char* nom : {"libcurl.so.4", "libcurl.so", "libcurl-gnutls.so.4"}) {
            if ((b = ::dlopen(nom, RTLD_NOW | RTLD_LOCAL))) break;
        }
        if (!b) return;
        f.complet = Charger(b, "curl_global_init", f.globalInit) &&
                    Charger(b, "curl_global_cleanup", f.globalCleanup) &&
                    Charger(b, "curl_easy_init", f.easyInit) &&
                    Charger(b, "curl_easy_setopt", f.easySetopt) &&
                    Charger(b, "curl_easy_perform", f.easyPerform) &&
                    Charger(b, "curl_easy_cleanup", f.easyCleanup) &&
                    Charger(b, "curl_easy_getinfo", f.easyGetinfo) &&
                    Charger(b, "curl_easy_strerror", f.easyStrerror) &&
                    Charger(b, "curl_slist_append", f.slistAppend) &&
                    Charger(b, "curl_slist_free_all", f.slistFreeAll);
    });
    return f;
}

}  // namespace

extern "C" {

CURLcode curl_global_init(long flags) {
    return Curl().complet ? Curl().globalInit(flags) : CURLE_FAILED_INIT;
}

void curl_global_cleanup(void) {
    if (Curl().complet) Curl().globalCleanup();
}

CURL* curl_easy_init(void) { return Curl().complet ? Curl().easyInit() : nullptr; }

// The one value after the option has the type that the option's number range gives, as libcurl
// reads it itself.
CURLcode curl_easy_setopt(CURL* curl, CURLoption option, ...) {
    if (!Curl().complet || !curl) return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, option);
    CURLcode code;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        code = Curl().easySetopt(curl, option, va_arg(arguments, long));
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        code = Curl().easySetopt(curl, option, va_arg(arguments, void*));
    } else if (option < CURLOPTTYPE_OFF_T) {
        code = Curl().easySetopt(curl, option, va_arg(arguments, void (*)()));
    } else if (option < CURLOPTTYPE_BLOB) {
        code = Curl().easySetopt(curl, option, va_arg(arguments, curl_off_t));
    } else {
        code = Curl().easySetopt(curl, option, va_arg(arguments, void*));
    }
    va_end(arguments);
    return code;
}

CURLcode curl_easy_perform(CURL* curl) {
    return Curl().complet && curl ? Curl().easyPerform(curl) : CURLE_FAILED_INIT;
}

void curl_easy_cleanup(CURL* curl) {
    if (Curl().complet && curl) Curl().easyCleanup(curl);
}

// Every information is returned through one pointer.
CURLcode curl_easy_getinfo(CURL* curl, CURLINFO info, ...) {
    if (!Curl().complet || !curl) return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, info);
    CURLcode code = Curl().easyGetinfo(curl, info, va_arg(arguments, void*));
    va_end(arguments);
    return code;
}

const char* curl_easy_strerror(CURLcode code) {
    return Curl().complet ? Curl().easyStrerror(code) : "libcurl is not available";
}

curl_slist* curl_slist_append(curl_slist* liste, const char* texte) {
    return Curl().complet ? Curl().slistAppend(liste, texte) : nullptr;
}

void curl_slist_free_all(curl_slist* liste) {
    if (Curl().complet) Curl().slistFreeAll(liste);
}

}  // extern "C"
