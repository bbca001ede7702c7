#include "core/schedule/win32/WindowsTask.h"
#include "core/schedule/TaskDefinition.h"

#include <windows.h>
#include <taskschd.h>

#include <functional>

namespace WindowsTask {

namespace {

// A COM interface pointer released when it goes.
template <class T> struct Com {
    T* p = nullptr;
    ~Com()
    {
        if (p)
            p->Release();
    }
    T* operator->() const { return p; }
    T** operator&() { return &p; }
};

struct Bstr {
    BSTR b;
    explicit Bstr(const QString& text) : b(SysAllocString(reinterpret_cast<const wchar_t*>(text.utf16()))) {}
    ~Bstr() { SysFreeString(b); }
};

std::string Failure(const char* what, HRESULT result)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, DWORD(result), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = QStringLiteral("%1: 0x%2").arg(QString::fromUtf8(what), QString::number(quint32(result), 16));
    if (text)
        message += u' ' + QString::fromWCharArray(text).trimmed();
    LocalFree(text);
    return message.trimmed().toStdString();
}

// The scheduler's root folder, for the length of `use`, on an apartment of this call's own.
template <class F> auto WithRootFolder(F use)
{
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    struct Uninit {
        bool on;
        ~Uninit()
        {
            if (on)
                CoUninitialize();
        }
    } uninit{SUCCEEDED(apartment)};
    Com<ITaskService> service;
    HRESULT result = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                      reinterpret_cast<void**>(&service));
    if (FAILED(result))
        throw ScheduleError(Failure("Utilità di pianificazione non disponibile", result));
    VARIANT none;
    VariantInit(&none);
    result = service->Connect(none, none, none, none);
    if (FAILED(result))
        throw ScheduleError(Failure("Utilità di pianificazione non raggiungibile", result));
    Com<ITaskFolder> root;
    const Bstr rootPath(QStringLiteral("\\"));
    result = service->GetFolder(rootPath.b, &root);
    if (FAILED(result))
        throw ScheduleError(Failure("cartella delle attività non disponibile", result));
    return use(root.p);
}

bool Missing(HRESULT result)
{
    return result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

}  // namespace

QString Name()
{
    return QStringLiteral("Morvantil invio automatico (%1)").arg(qEnvironmentVariable("USERNAME"));
}

void Install(const DailyRun& run)
{
    WithRootFolder([&](ITaskFolder* root) {
        const Bstr name(Name());
        const Bstr xml(TaskDefinitionXml(run));
        VARIANT none;
        VariantInit(&none);
        Com<IRegisteredTask> task;
        // The current user, signed in: no password kept, no administrator rights.
        const HRESULT result = root->RegisterTask(name.b, xml.b, TASK_CREATE_OR_UPDATE, none, none,
                                                  TASK_LOGON_INTERACTIVE_TOKEN, none, &task);
        if (FAILED(result))
            throw ScheduleError(Failure("attività non registrata", result));
    });
}

bool Remove()
{
    return WithRootFolder([&](ITaskFolder* root) {
        const Bstr name(Name());
        const HRESULT result = root->DeleteTask(name.b, 0);
        if (Missing(result))
            return false;
        if (FAILED(result))
            throw ScheduleError(Failure("attività non rimossa", result));
        return true;
    });
}

QString StoredXml()
{
    return WithRootFolder([&](ITaskFolder* root) {
        const Bstr name(Name());
        Com<IRegisteredTask> task;
        const HRESULT result = root->GetTask(name.b, &task);
        if (Missing(result))
            return QString();
        if (FAILED(result))
            throw ScheduleError(Failure("attività non leggibile", result));
        BSTR xml = nullptr;
        if (FAILED(task->get_Xml(&xml)))
            return QString();
        const QString text = QString::fromWCharArray(xml, int(SysStringLen(xml)));
        SysFreeString(xml);
        return text;
    });
}

QString Where()
{
    return QStringLiteral("Utilità di pianificazione di Windows, attività \"%1\"").arg(Name());
}

std::optional<DailyRun> Installed()
{
    const QString xml = StoredXml();
    if (xml.isEmpty())
        return std::nullopt;
    DailyRun run = ParseTaskDefinition(xml).value_or(DailyRun());
    run.where = Where();
    return run;
}

}  // namespace WindowsTask
