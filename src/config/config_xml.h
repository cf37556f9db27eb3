// CConfigXml: the configuration document with typed readers and writers.
// (Placeholder until the document engine lands: holds no document yet.)
#pragma once

namespace quillon {

class CConfigXml {
public:
    virtual ~CConfigXml() = default;
};

}  // namespace quillon
