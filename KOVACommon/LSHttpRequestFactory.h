#pragma once
// The process's one request factory: every web-service request is built here.
#include "KOVACommon/http/ILSHttpRequest.h"
#include "QuorvalCommon/LSComponentFactory.h"
#include "KOVACommon/http/LSHttpRequest.h"
#include "KOVACommon/replay/LSRequestReplay.h"

template <>
struct LSComponentTraits<ILSHttpRequest>
{
    static const wchar_t* Name() { return L"ILSHttpRequest"; }
};

using LSHttpRequestFactory = LSComponentFactoryT<ILSHttpRequest, LSHttpRequest, LSHttpRequestMocks::LSHttpRequestRecorder,
                                                 LSHttpRequestMocks::LSHttpRequestPlayback>;

// Created on first use, kept until the module unloads.
const LSHttpRequestFactory& GetHttpRequestFactory();
