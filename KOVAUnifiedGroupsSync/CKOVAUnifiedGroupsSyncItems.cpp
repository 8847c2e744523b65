// Item properties of the filter's groups and of its top folder.
#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"

#include "KOVACommon/host/LSGroupColumnNames.h"
#include "KOVACommon/host/LSPropertyNames.h"
#include "KOVAUnifiedGroupsSync/LSGroupFileName.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSGuidText.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"

#include <functional>
#include <initializer_list>
#include <utility>

namespace {

const char* const kBasicPropsName = "CKOVAUnifiedGroupsSync::raw_GetItemBasicProps";
const char* const kItemPropertiesName = "CKOVAUnifiedGroupsSync::raw_SetItemProperties";
const char* const kTopFolderName = "CKOVAUnifiedGroupsSync::SetTopFolderDetails";

const unsigned char kFlagAllOnes = 0xFF;
const unsigned char kFlagOne = 0x01;

using TextProperty = std::pair<_bstr_t, _bstr_t>;

void RequireMap(ILSPropertyMap* map)
{
    if (!map)
        throw hresult_exception::Com(E_POINTER);
}

// A failed write is logged under the operation's name and handed back.
HRESULT Checked(HRESULT hr, const char* operation)
{
    if (FAILED(hr))
    {
        LS_ERROR_LOG << operation << "Unexpected return: " << LogHex(hr);
    }
    return hr;
}

void RaiseIfFailed(HRESULT hr, const char* operation)
{
    if (FAILED(Checked(hr, operation)))
        ThrowHr(hr);
}

// Writes in order; the first failure stops the operation and what was
// written stays written.
void WriteTexts(ILSPropertyMap* map, std::initializer_list<TextProperty> properties, const char* operation)
{
    for (const TextProperty& property : properties)
        RaiseIfFailed(map->SetProperty(property.first, property.second), operation);
}

_bstr_t Bstr(const std::wstring& text)
{
    return CStdStr(text).ToBstr();
}

// The decimal text of the number, as automation converts an unsigned 32-bit
// variant to a string.
_bstr_t DecimalText(uint32_t number)
{
    _variant_t value(static_cast<unsigned long>(number));
    value.ChangeType(VT_BSTR);
    return _bstr_t(value);
}

} // namespace

STDMETHODIMP CKOVAUnifiedGroupsSync::GetItemBasicProps(USHORT index, ILSPropertyMap* map)
{
    LS_COM_BOUNDARY_BEGIN
    ILSPropertyMapPtr held(map);
    return m_startPoint.empty() ? BasicPropsOfGroup(index, held) : BasicPropsOfTopFolder(held);
    LS_COM_BOUNDARY_END("CKOVAUnifiedGroupsSync::raw_GetItemBasicProps")
}

STDMETHODIMP CKOVAUnifiedGroupsSync::SetItemProperties(USHORT index, ILSPropertyMap* map)
{
    LS_COM_BOUNDARY_BEGIN
    ILSPropertyMapPtr held(map);
    return m_startPoint.empty() ? PropertiesOfGroup(index, held) : SetTopFolderDetails(held);
    LS_COM_BOUNDARY_END("CKOVAUnifiedGroupsSync::raw_SetItemProperties")
}

// A fresh identifier at every call: the top folder is one item named by the
// start point.
HRESULT CKOVAUnifiedGroupsSync::BasicPropsOfTopFolder(ILSPropertyMap* map)
{
    GUID id = {};
    const HRESULT created = CoCreateGuid(&id);
    if (FAILED(created))
        ThrowHr(created);
    const CStdStr idText = LSGuidText::ToRegistryText(id);
    RequireMap(map);
    WriteTexts(map,
               {{LSPropertyNames::UniqueId, Bstr(idText)},
                {LSPropertyNames::VersionId, L"1"},
                {LSPropertyNames::DisplayName, Bstr(m_startPoint)}},
               kBasicPropsName);
    return S_OK;
}

HRESULT CKOVAUnifiedGroupsSync::BasicPropsOfGroup(USHORT index, ILSPropertyMap* map)
{
    const Group& group = GroupAt(index);
    const CStdStr idText = LSGuidText::ToRegistryText(group.id);
    RequireMap(map);
    WriteTexts(map,
               {{LSPropertyNames::UniqueId, Bstr(idText)},
                {LSPropertyNames::VersionId, L"1"},
                {LSPropertyNames::DisplayName, Bstr(group.displayName)},
                {LSPropertyNames::FileName, Bstr(LSGroupFileName::For(group.displayName))},
                {LSPropertyNames::Extension, L".msg"}},
               kBasicPropsName);
    return S_OK;
}

HRESULT CKOVAUnifiedGroupsSync::PropertiesOfGroup(USHORT index, ILSPropertyMap* map)
{
    const Group& group = GroupAt(index);
    const CStdStr idText = LSGuidText::ToRegistryText(group.id);
    LSSetting& settings = LSSetting::GetInstance();
    const CStdStr parentFolders = settings.Read(LSSettingTable::ParentFolders).value;
    const bool training = settings.Read(LSSettingTable::TrainingEnabled).value != 0;
    const uint32_t headerDownloadType = settings.Read(LSSettingTable::HeaderDownloadType).value;
    RequireMap(map);
    WriteTexts(map,
               {{LSGroupColumnNames::OwsId, Bstr(idText)},
                {LSPropertyNames::Tenbrid_FromServerShortItemId, Bstr(idText)},
                {LSGroupColumnNames::OwsTitle, Bstr(group.displayName)},
                {LSGroupColumnNames::OwsLocation, Bstr(group.url)},
                {LSGroupColumnNames::OwsParentFolders, Bstr(parentFolders)},
                {LSGroupColumnNames::OwsIncludeInTraining, training ? L"1" : L"0"},
                {LSGroupColumnNames::OwsBackgroundSync, L"1"},
                {LSGroupColumnNames::OwsHeaderDownloadType, DecimalText(headerDownloadType)}},
               kItemPropertiesName);
    LS_DIAG_LOG << "Item: " << ToLogText(idText) << " " << ToLogText(group.displayName) << " "
                << ToLogText(parentFolders) << " -> " << ToLogText(group.url);
    return S_OK;
}

// The first three writes raise their failure; the later ones return it
// without passing the boundary handler, as the host expects.
HRESULT CKOVAUnifiedGroupsSync::SetTopFolderDetails(ILSPropertyMap* map)
{
    RequireMap(map);
    const _bstr_t location = Bstr(m_startPoint);
    WriteTexts(map,
               {{LSPropertyNames::Tenbrid_RepositoryLocation, location},
                {LSPropertyNames::Tenbrid_FolderLocation, location},
                {LSPropertyNames::KOVA_RepositoryOriginalLocation, location}},
               kTopFolderName);

    const _bstr_t isList(LSGroupColumnNames::SPIsList);
    const std::function<HRESULT()> settingWrites[] = {
        [&] { return map->SetProperty(LSPropertyNames::Tenbrid_RepositoryType, LSPropertyNames::RepoType_KOVAUnifiedGroups); },
        [&] { return map->SetIntProperty(LSPropertyNames::Tenbrid_MainFolder, 1); },
        [&] { return map->SetFlagProperty(isList, kFlagAllOnes); },
        [&] { return map->SetIntProperty(LSPropertyNames::Tenbrid_SyncDisabled, 0); },
        [&] { return map->SetFlagProperty(LSPropertyNames::KOVA_NoContentJustProperties, kFlagOne); },
    };
    for (const std::function<HRESULT()>& write : settingWrites)
    {
        const HRESULT hr = Checked(write(), kTopFolderName);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}
