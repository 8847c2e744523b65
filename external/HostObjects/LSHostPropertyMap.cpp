#include "external/HostObjects/LSHostPropertyMap.h"

#include "QuorvalCommon/CStdStr.h"

LSHostPropertyMap* LSHostPropertyMap::Create()
{
    return new LSHostPropertyMap();
}

void LSHostPropertyMap::Preset(const std::wstring& name, const std::wstring& text)
{
    Value value;
    value.text = text;
    m_values[name] = value;
}

void LSHostPropertyMap::FailWrite(const std::wstring& name, HRESULT hr) { m_writeFailures[name] = hr; }
void LSHostPropertyMap::FailRead(const std::wstring& name, HRESULT hr) { m_readFailures[name] = hr; }

std::wstring LSHostPropertyMap::Text(const std::wstring& name) const
{
    auto found = m_values.find(name);
    return found == m_values.end() ? std::wstring() : found->second.text;
}

long LSHostPropertyMap::Number(const std::wstring& name) const
{
    auto found = m_values.find(name);
    return found == m_values.end() ? 0 : found->second.number;
}

STDMETHODIMP LSHostPropertyMap::QueryInterface(REFIID riid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, __uuidof(ILSPropertyMap)))
    {
        *result = static_cast<ILSPropertyMap*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) LSHostPropertyMap::AddRef() { return ++m_refCount; }

STDMETHODIMP_(ULONG) LSHostPropertyMap::Release()
{
    ULONG count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP LSHostPropertyMap::GetProperty(BSTR name, BSTR* value)
{
    const CStdStr key = CStdStr::FromBSTR(name);
    m_calls.push_back({L"GetProperty", key, L"", ValueType::Text});
    if (!value)
        return E_POINTER;
    *value = nullptr;
    auto failure = m_readFailures.find(key);
    if (failure != m_readFailures.end())
        return failure->second;
    auto found = m_values.find(key);
    if (found == m_values.end())
        return E_INVALIDARG;
    const std::wstring& text = found->second.type == ValueType::Text
                                   ? found->second.text
                                   : std::to_wstring(found->second.number);
    *value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
}

HRESULT LSHostPropertyMap::Write(const wchar_t* method, BSTR name, const Value& value)
{
    const CStdStr key = CStdStr::FromBSTR(name);
    const std::wstring shown = value.type == ValueType::Text ? value.text : std::to_wstring(value.number);
    m_calls.push_back({method, key, shown, value.type});
    auto failure = m_writeFailures.find(key);
    if (failure != m_writeFailures.end())
        return failure->second;
    m_values[key] = value;
    return S_OK;
}

STDMETHODIMP LSHostPropertyMap::SetProperty(BSTR name, BSTR value)
{
    Value stored;
    stored.text = CStdStr::FromBSTR(value);
    return Write(L"SetProperty", name, stored);
}

STDMETHODIMP LSHostPropertyMap::GetIntProperty(BSTR name, LONG* value)
{
    if (!value)
        return E_POINTER;
    auto found = m_values.find(CStdStr::FromBSTR(name));
    if (found == m_values.end())
        return E_INVALIDARG;
    *value = found->second.number;
    return S_OK;
}

STDMETHODIMP LSHostPropertyMap::SetIntProperty(BSTR name, LONG value)
{
    Value stored;
    stored.number = value;
    stored.type = ValueType::Int;
    return Write(L"SetIntProperty", name, stored);
}

STDMETHODIMP LSHostPropertyMap::HasProperty(BSTR name, VARIANT_BOOL* present)
{
    if (!present)
        return E_POINTER;
    *present = m_values.count(CStdStr::FromBSTR(name)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP LSHostPropertyMap::RemoveProperty(BSTR name)
{
    m_values.erase(CStdStr::FromBSTR(name));
    return S_OK;
}

STDMETHODIMP LSHostPropertyMap::GetPropertyCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(m_values.size());
    return S_OK;
}

STDMETHODIMP LSHostPropertyMap::GetPropertyName(LONG index, BSTR* name)
{
    if (!name)
        return E_POINTER;
    if (index < 0 || static_cast<size_t>(index) >= m_values.size())
        return E_INVALIDARG;
    auto it = m_values.begin();
    std::advance(it, index);
    *name = SysAllocString(it->first.c_str());
    return S_OK;
}

STDMETHODIMP LSHostPropertyMap::GetFlagProperty(BSTR name, unsigned char* flag)
{
    if (!flag)
        return E_POINTER;
    auto found = m_values.find(CStdStr::FromBSTR(name));
    if (found == m_values.end())
        return E_INVALIDARG;
    *flag = static_cast<unsigned char>(found->second.number);
    return S_OK;
}

STDMETHODIMP LSHostPropertyMap::Clear()
{
    m_values.clear();
    return S_OK;
}

STDMETHODIMP LSHostPropertyMap::SetFlagProperty(BSTR name, unsigned char flag)
{
    Value stored;
    stored.number = flag;
    stored.type = ValueType::Flag;
    return Write(L"SetFlagProperty", name, stored);
}

STDMETHODIMP LSHostPropertyMap::GetPropertyType(BSTR name, LONG* type)
{
    if (!type)
        return E_POINTER;
    auto found = m_values.find(CStdStr::FromBSTR(name));
    if (found == m_values.end())
        return E_INVALIDARG;
    *type = static_cast<LONG>(found->second.type);
    return S_OK;
}
