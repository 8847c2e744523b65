#include "KOVACommon/LSHttpRequestFactory.h"

const LSHttpRequestFactory& GetHttpRequestFactory()
{
    static const LSHttpRequestFactory factory;
    return factory;
}
