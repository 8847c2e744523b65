// MinGW ships the compiler COM support headers without their library; these
// are the conversions that _bstr_t relies on.
#include <windows.h>
#include <comdef.h>

namespace _com_util {

BSTR WINAPI ConvertStringToBSTR(const char* text)
{
    if (!text)
        return nullptr;
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (!result)
        _com_issue_error(E_OUTOFMEMORY);
    MultiByteToWideChar(CP_ACP, 0, text, -1, result, length);
    return result;
}

char* WINAPI ConvertBSTRToString(BSTR text)
{
    if (!text)
        return nullptr;
    int length = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)) + 1,
                                     nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    char* result = new char[static_cast<size_t>(length)];
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)) + 1, result, length,
                        nullptr, nullptr);
    return result;
}

} // namespace _com_util

// Raises the COM error of a failed call, with the object's error information
// when it offers some for the interface.
void WINAPI _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID iid)
{
    IErrorInfo* info = nullptr;
    if (object)
    {
        ISupportErrorInfo* support = nullptr;
        if (SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))))
        {
            if (support->InterfaceSupportsErrorInfo(iid) == S_OK && GetErrorInfo(0, &info) != S_OK)
                info = nullptr;
            support->Release();
        }
    }
    __mingw_com_error_handler(hr, info);
}
