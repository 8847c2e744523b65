#pragma once
// Builds the implementation of an interface that the settings select. Only a
// test-runner host process consults the settings (the traits name them): 0
// the production type, 1 the recording type, 2 the replaying type. Every
// other process always gets the production type.
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSDiag.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"

#include <cstdint>
#include <memory>
#include <string>

// Specialise for each interface the factory builds: KindSetting chooses the
// type, ConfigurationSetting configures a recording or replaying one.
template <typename Interface>
struct LSComponentTraits;

template <typename Interface, typename Production, typename Recorder, typename Playback>
class LSComponentFactoryT
{
public:
    enum Kind : uint32_t
    {
        ProductionKind = 0,
        RecorderKind = 1,
        PlaybackKind = 2,
    };

    virtual ~LSComponentFactoryT() = default;

    std::unique_ptr<Interface> Create() const
    {
        if (!LSDiag::IsTestRunnerProcess())
            return std::make_unique<Production>();

        using Traits = LSComponentTraits<Interface>;
        const uint32_t kind = LSSetting::GetInstance().Read(Traits::KindSetting).value;
        std::wstring configuration;
        if (kind != ProductionKind)
            configuration = LSSetting::GetInstance().Read(Traits::ConfigurationSetting).value;

        switch (kind)
        {
        case ProductionKind:
            return std::make_unique<Production>();
        case RecorderKind:
            return Configured<Recorder>(configuration);
        case PlaybackKind:
            return Configured<Playback>(configuration);
        default:
            LS_ERROR_LOG << "Failed to locate component " << kind;
            ThrowHr(E_INVALIDARG);
        }
    }

private:
    template <typename Implementation>
    static std::unique_ptr<Interface> Configured(const std::wstring& configuration)
    {
        std::unique_ptr<Interface> component = std::make_unique<Implementation>();
        component->Configure(configuration);
        return component;
    }
};
