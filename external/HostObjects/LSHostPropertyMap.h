#pragma once
// A host property map for tests and tools: records every call in order, can
// fail a chosen write, and answers reads from preset or written values.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "QuorvalCommon/LSComObject.h"

#include <windows.h>
#include <map>
#include <string>
#include <vector>

class LSHostPropertyMap : public LSDispatchImpl<ILSPropertyMap, &LIBID_KOVASyncBasicsLib, 1, 0, false>
{
public:
    enum class ValueType { Text, Int, Flag };

    struct Call
    {
        std::wstring method;
        std::wstring name;
        std::wstring value; // text, or the number in decimal
        ValueType type;
    };

    struct Value
    {
        std::wstring text;
        long number = 0;
        ValueType type = ValueType::Text;
    };

    // Returns a new map with one reference held by the caller.
    static LSHostPropertyMap* Create();

    void Preset(const std::wstring& name, const std::wstring& text);
    void FailWrite(const std::wstring& name, HRESULT hr);
    void FailRead(const std::wstring& name, HRESULT hr);

    const std::vector<Call>& Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }
    const std::map<std::wstring, Value>& Values() const { return m_values; }
    bool Has(const std::wstring& name) const { return m_values.count(name) != 0; }
    std::wstring Text(const std::wstring& name) const;
    long Number(const std::wstring& name) const;
    ILSPropertyMap* Interface() { return this; }

    STDMETHODIMP QueryInterface(REFIID riid, void** result) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetProperty(BSTR name, BSTR* value) override;
    STDMETHODIMP SetProperty(BSTR name, BSTR value) override;
    STDMETHODIMP GetIntProperty(BSTR name, LONG* value) override;
    STDMETHODIMP SetIntProperty(BSTR name, LONG value) override;
    STDMETHODIMP HasProperty(BSTR name, VARIANT_BOOL* present) override;
    STDMETHODIMP RemoveProperty(BSTR name) override;
    STDMETHODIMP GetPropertyCount(LONG* count) override;
    STDMETHODIMP GetPropertyName(LONG index, BSTR* name) override;
    STDMETHODIMP GetFlagProperty(BSTR name, unsigned char* flag) override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP SetFlagProperty(BSTR name, unsigned char flag) override;
    STDMETHODIMP GetPropertyType(BSTR name, LONG* type) override;

private:
    LSHostPropertyMap() = default;
    virtual ~LSHostPropertyMap() = default;
    HRESULT Write(const wchar_t* method, BSTR name, const Value& value);

    ULONG m_refCount = 1;
    std::vector<Call> m_calls;
    std::map<std::wstring, Value> m_values;
    std::map<std::wstring, HRESULT> m_writeFailures;
    std::map<std::wstring, HRESULT> m_readFailures;
};

// Holds a reference to a host property map and releases it at scope end.
class LSHostPropertyMapHolder
{
public:
    LSHostPropertyMapHolder() : m_map(LSHostPropertyMap::Create()) {}
    ~LSHostPropertyMapHolder() { m_map->Release(); }
    LSHostPropertyMapHolder(const LSHostPropertyMapHolder&) = delete;
    LSHostPropertyMapHolder& operator=(const LSHostPropertyMapHolder&) = delete;
    LSHostPropertyMap* operator->() const { return m_map; }
    LSHostPropertyMap& operator*() const { return *m_map; }
    ILSPropertyMap* Interface() const { return m_map; }

private:
    LSHostPropertyMap* m_map;
};
