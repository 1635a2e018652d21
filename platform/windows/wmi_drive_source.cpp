// Drive objects of Windows: the WMI classes Win32_DiskDrive and
// Win32_LogicalDisk in ROOT\CIMV2.
#include <windows.h>

#include <oleauto.h>
#include <wbemidl.h>

#include <limits>

#include "platform/drive_source.h"
#include "platform/text.h"
#include "platform/wmi_identity.h"
#include "storage_query.h"

namespace zd::platform {

namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// A BSTR argument, freed when the call is done.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return value_; }

private:
    BSTR value_;
};

std::u16string BstrText(BSTR text)
{
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text)) : std::u16string();
}

class WmiDriveObject final : public DriveObject {
public:
    // `value` is the one VARIANT every read of this object goes through.
    WmiDriveObject(IWbemClassObject* object, VARIANT& value, DriveQuery query)
        : object_(object), value_(value), query_(query)
    {
    }

    std::optional<std::u16string> ReadText(std::u16string_view property) override
    {
        if (!Get(property))
            return std::nullopt;
        if (value_.vt == VT_NULL || value_.vt == VT_EMPTY)
            return std::u16string();
        if (value_.vt == VT_BSTR)
            return BstrText(value_.bstrVal);
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, &value_, 0, VT_BSTR)))
            return std::nullopt;
        std::u16string result = BstrText(text.bstrVal);
        VariantClear(&text);
        return result;
    }

    std::optional<int64_t> ReadInteger(std::u16string_view property) override
    {
        if (!Get(property))
            return std::nullopt;
        switch (value_.vt) {
        case VT_I1:
            return value_.cVal;
        case VT_UI1:
            return value_.bVal;
        case VT_I2:
            return value_.iVal;
        case VT_UI2:
            return value_.uiVal;
        case VT_I4:
            return value_.lVal;
        case VT_UI4:
            return value_.ulVal;
        case VT_INT:
            return value_.intVal;
        case VT_UINT:
            return value_.uintVal;
        case VT_I8:
            return value_.llVal;
        case VT_UI8:
            if (value_.ullVal > static_cast<ULONGLONG>(std::numeric_limits<int64_t>::max()))
                return std::nullopt;
            return static_cast<int64_t>(value_.ullVal);
        default:
            return std::nullopt; // null, or not a number
        }
    }

    bool IsOpticalDrive(std::u16string_view caption) override
    {
        return GetDriveTypeW(Wide(std::u16string(caption))) == DRIVE_CDROM;
    }

    DeviceIdentity ReadIdentity() override
    {
        if (query_ == DriveQuery::LogicalVolumes)
            return WmiVolumeIdentity(*this);
        DeviceIdentity identity = WmiDiskIdentity(*this);
        if (!identity.devicePath.empty()) {
            const StorageFacts facts = QueryStorageFacts(Utf8ToUtf16(identity.devicePath));
            identity.rotational = facts.rotational;
            identity.physicalSectorSize = facts.physicalSectorSize;
        }
        return identity;
    }

private:
    bool Get(std::u16string_view property)
    {
        VariantClear(&value_);
        return SUCCEEDED(object_->Get(Wide(std::u16string(property)), 0, &value_, nullptr, nullptr));
    }

    IWbemClassObject* object_;
    VARIANT& value_;
    DriveQuery query_;
};

void VisitObjects(IEnumWbemClassObject* enumerator, DriveQuery query, const std::function<void(DriveObject&)>& visit)
{
    for (;;) {
        IWbemClassObject* object = nullptr;
        ULONG returned = 0;
        enumerator->Next(static_cast<long>(WBEM_INFINITE), 1, &object, &returned);
        if (returned == 0 || object == nullptr)
            break;
        VARIANT value;
        VariantInit(&value);
        WmiDriveObject drive(object, value, query);
        visit(drive);
        VariantClear(&value);
        object->Release();
    }
}

// COM is initialised for this call only; every step that fails ends the
// sequence quietly, releasing what was obtained.
void RunWmiQuery(DriveQuery query, const std::function<void(DriveObject&)>& visit)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return;
    IWbemLocator* locator = nullptr;
    IWbemServices* services = nullptr;
    IEnumWbemClassObject* enumerator = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                   reinterpret_cast<void**>(&locator)))) {
        const Bstr name(L"ROOT\\CIMV2");
        if (SUCCEEDED(locator->ConnectServer(name, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services))) {
            if (SUCCEEDED(CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                            RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
                const Bstr language(L"WQL");
                const Bstr queryText(query == DriveQuery::PhysicalDisks ? L"SELECT * FROM Win32_DiskDrive"
                                                                        : L"SELECT * FROM Win32_LogicalDisk");
                if (SUCCEEDED(services->ExecQuery(language, queryText,
                                                  WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                                  &enumerator)) &&
                    enumerator != nullptr)
                    VisitObjects(enumerator, query, visit);
            }
            services->Release();
        }
        locator->Release();
    }
    if (enumerator != nullptr)
        enumerator->Release();
    CoUninitialize();
}

class WmiDriveSource final : public DriveSource {
public:
    void Enumerate(DriveQuery query, const std::function<void(DriveObject&)>& visit) override
    {
        RunWmiQuery(query, visit);
    }
};

} // namespace

std::unique_ptr<DriveSource> MakeSystemDriveSource() { return std::make_unique<WmiDriveSource>(); }

} // namespace zd::platform
