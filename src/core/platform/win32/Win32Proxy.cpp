#include "core/platform/win32/Win32Proxy.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winhttp.h>

#include <cwctype>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Detection or a script that does not answer must not hold up the version check, which gives
// the service's answer 10 seconds.
constexpr DWORD MaxLookupMs = 4000;

struct GlobalFreer {
    void operator()(wchar_t* text) const { GlobalFree(text); }
};
// A string that WinHTTP allocated for its caller.
using GlobalText = std::unique_ptr<wchar_t, GlobalFreer>;

std::wstring Text(const GlobalText& text)
{
    return text ? text.get() : L"";
}

// The entries of a proxy or exception list: semicolons, commas or blanks between them.
std::vector<std::wstring> Entries(const std::wstring& list)
{
    std::vector<std::wstring> entries(1);
    for (const wchar_t c : list) {
        if (c != L';' && c != L',' && !std::iswspace(c))
            entries.back() += c;
        else if (!entries.back().empty())
            entries.emplace_back();
    }
    if (entries.back().empty())
        entries.pop_back();
    return entries;
}

// Case-insensitive, '*' standing for any run of characters.
bool Matches(const wchar_t* pattern, const wchar_t* text)
{
    const wchar_t* star = nullptr;
    const wchar_t* retry = text;
    while (*text) {
        if (*pattern == L'*') {
            star = pattern++;
            retry = text;
        } else if (*pattern && std::towlower(*pattern) == std::towlower(*text)) {
            ++pattern;
            ++text;
        } else if (star) {
            // The last star takes one more character.
            pattern = star + 1;
            text = ++retry;
        } else {
            return false;
        }
    }
    while (*pattern == L'*')
        ++pattern;
    return !*pattern;
}

// The address a proxy is chosen for, and its parts.
struct Target {
    std::wstring url, scheme, host;
    int port;
};

// An exception names the host, alone or with the port or the scheme ("*.comune.it",
// "10.*", "intranet:8080", "http://server"); "<local>" any host without a dot.
bool Bypassed(const std::wstring& list, const Target& target)
{
    const std::wstring& host = target.host;
    const std::wstring withPort = host + L":" + std::to_wstring(target.port);
    const std::wstring forms[] = {host, withPort, target.scheme + L"://" + host, target.scheme + L"://" + withPort};
    for (const std::wstring& entry : Entries(list)) {
        if (Matches(L"<local>", entry.c_str()) && host.find_first_of(L".:") == std::wstring::npos)
            return true;
        for (const std::wstring& form : forms)
            if (Matches(entry.c_str(), form.c_str()))
                return true;
    }
    return false;
}

// The list's proxy for the scheme: "host:port" for all, "http=a:1;https=b:2" one for each
// scheme (a SOCKS one for the others), or a script's "a:1;b:2", of which the first counts.
std::string Pick(const std::wstring& list, const std::wstring& scheme)
{
    std::wstring chosen, any, socks;
    for (const std::wstring& entry : Entries(list)) {
        const size_t equals = entry.find(L'=');
        const bool named = equals != std::wstring::npos;
        const std::wstring kind = named ? entry.substr(0, equals) : L"";
        const std::wstring where = named ? entry.substr(equals + 1) : entry;
        if (named && Matches(kind.c_str(), scheme.c_str()) && chosen.empty())
            chosen = where;
        else if (!named && any.empty())
            any = where;
        else if (Matches(L"socks", kind.c_str()) && socks.empty() && !where.empty())
            socks = L"socks4://" + where;
    }
    if (chosen.empty())
        chosen = any.empty() ? socks : any;
    // Proxy names are plain ASCII; anything else is no address libcurl could use.
    for (const wchar_t c : chosen)
        if (c <= L' ' || c > L'~')
            return {};
    return std::string(chosen.begin(), chosen.end());
}

// What automatic detection or the configuration script says; nothing when neither answers.
std::optional<std::string> Automatic(const Target& target, bool detect, const std::wstring& script)
{
    const std::unique_ptr<void, decltype(&WinHttpCloseHandle)> session(
        WinHttpOpen(L"Morvantil", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0),
        WinHttpCloseHandle);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = (detect ? WINHTTP_AUTOPROXY_AUTO_DETECT : 0) | (script.empty() ? 0 : WINHTTP_AUTOPROXY_CONFIG_URL);
    options.dwAutoDetectFlags = detect ? WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A : 0;
    options.lpszAutoConfigUrl = script.empty() ? nullptr : script.c_str();
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO found{};
    if (!session || !WinHttpGetProxyForUrl(session.get(), target.url.c_str(), &options, &found))
        return std::nullopt;
    const GlobalText proxy(found.lpszProxy), bypass(found.lpszProxyBypass);
    if (found.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY
        || Bypassed(Text(bypass), target))
        return std::string();
    return Pick(Text(proxy), target.scheme);
}

// A lookup that may outlive its caller's wait.
struct Lookup {
    Target target;
    bool detect;
    std::wstring script;
    std::optional<std::string> proxy;
    std::unique_ptr<void, decltype(&CloseHandle)> ended{CreateEventW(nullptr, TRUE, FALSE, nullptr), CloseHandle};
};

DWORD WINAPI RunLookup(void* parameter)
{
    // The thread's own share: a late answer lands in memory that is still there.
    const std::unique_ptr<std::shared_ptr<Lookup>> held(static_cast<std::shared_ptr<Lookup>*>(parameter));
    Lookup& lookup = **held;
    try {
        lookup.proxy = Automatic(lookup.target, lookup.detect, lookup.script);
    } catch (...) {
    }
    SetEvent(lookup.ended.get());
    return 0;
}

// Automatic() on a thread of its own, given up when late: WinHTTP cannot stop it.
std::optional<std::string> AutomaticWithin(DWORD milliseconds, const Target& target, bool detect,
                                           const std::wstring& script)
{
    const auto lookup = std::make_shared<Lookup>(Lookup{target, detect, script, std::nullopt});
    auto held = std::make_unique<std::shared_ptr<Lookup>>(lookup);
    if (!lookup->ended)
        return std::nullopt;
    const HANDLE thread = CreateThread(nullptr, 0, RunLookup, held.get(), 0, nullptr);
    if (!thread)
        return std::nullopt;
    held.release();
    CloseHandle(thread);
    if (WaitForSingleObject(lookup->ended.get(), milliseconds) != WAIT_OBJECT_0)
        return std::nullopt;
    return lookup->proxy;
}

}  // namespace

std::string Win32ProxyFor(const std::wstring& url, bool& automatic)
{
    automatic = false;
    try {
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwSchemeLength = parts.dwHostNameLength = DWORD(-1);
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
        if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts) || !WinHttpGetIEProxyConfigForCurrentUser(&config))
            return {};
        const GlobalText script(config.lpszAutoConfigUrl), proxy(config.lpszProxy), bypass(config.lpszProxyBypass);
        const Target target{url, std::wstring(parts.lpszScheme, parts.dwSchemeLength),
                            std::wstring(parts.lpszHostName, parts.dwHostNameLength), parts.nPort};
        // Without detection or a script, or when they give no answer: the fixed proxy, as
        // Internet Explorer does.
        const std::string fixed = proxy && !Bypassed(Text(bypass), target)
                                      ? Pick(Text(proxy), target.scheme) : std::string();
        if (!config.fAutoDetect && !script)
            return fixed;
        const std::optional<std::string> chosen = AutomaticWithin(MaxLookupMs, target, config.fAutoDetect, Text(script));
        automatic = chosen.has_value();
        return chosen.value_or(fixed);
    } catch (...) {
        return {};
    }
}
