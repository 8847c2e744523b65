#pragma once
// The process's one request factory: every web-service request is built here.
#include "ILSHttpRequest.h"
#include "LSComponentFactory.h"
#include "LSHttpRequest.h"
#include "LSHttpRequestMocks.h"

template <>
struct LSComponentTraits<ILSHttpRequest>
{
    static const wchar_t* Name() { return L"ILSHttpRequest"; }
};

using LSHttpRequestFactory = LSComponentFactoryT<ILSHttpRequest, LSHttpRequest, LSHttpRequestMocks::LSHttpRequestRecorder,
                                                 LSHttpRequestMocks::LSHttpRequestPlayback>;

// Created on first use, kept until the module unloads.
const LSHttpRequestFactory& GetHttpRequestFactory();
