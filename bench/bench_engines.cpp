// The engines compared by the benchmarks: ours and the peer libraries, each loading a file
// into its document form, walking it and counting its elements.
#include "bench_engines.h"

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/u16.h"
#include "xml/xml_document.h"

#ifdef QUILLON_HAVE_PUGIXML
#include <pugixml.hpp>
#endif
#ifdef QUILLON_HAVE_TINYXML2
#include <tinyxml2.h>
#endif
#ifdef QUILLON_HAVE_LIBXML2
#include <libxml/parser.h>
#include <libxml/tree.h>
#endif
#ifdef QUILLON_HAVE_EXPAT
#include <expat.h>
#endif

namespace quillon::bench {

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

namespace {

class CQuillonEngine : public CEngine {
public:
    bool Load(const std::string& path) override {
        m_document = std::make_unique<CXmlDocument>();
        m_document->LoadFile(FromUtf8(path));
        // Well-formedness findings do not matter here, only that text was read and indexed.
        return m_document->ElementCount() > 0;
    }
    size_t Walk() override {
        CXmlDocument& doc = *m_document;
        size_t sum = 0;
        uint32_t n = doc.FirstChild(0);
        while (n) {
            sum += 1 + doc.ElementName(n).size();
            doc.ForEachAttribute(n, [&](std::u16string_view name, std::u16string_view value) {
                sum += name.size() + value.size();
            });
            n = NextInDocumentOrder(doc, n);
        }
        return sum;
    }
    size_t CountElements() override { return m_document->ElementCount(); }
    void Release() override { m_document.reset(); }

private:
    std::unique_ptr<CXmlDocument> m_document;
};

#ifdef QUILLON_HAVE_PUGIXML
class CPugixmlEngine : public CEngine {
public:
    bool Load(const std::string& path) override {
        m_document = std::make_unique<pugi::xml_document>();
        return m_document->load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto);
    }
    size_t Walk() override {
        size_t sum = 0;
        WalkNode(*m_document, sum);
        return sum;
    }
    size_t CountElements() override {
        size_t count = 0;
        Count(*m_document, count);
        return count;
    }
    void Release() override { m_document.reset(); }

private:
    static void WalkNode(pugi::xml_node node, size_t& sum) {
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element)
                continue;
            sum += 1 + std::strlen(child.name());
            for (pugi::xml_attribute a = child.first_attribute(); a; a = a.next_attribute())
                sum += std::strlen(a.name()) + std::strlen(a.value());
            WalkNode(child, sum);
        }
    }
    static void Count(pugi::xml_node node, size_t& count) {
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element) {
                ++count;
                Count(child, count);
            }
    }
    std::unique_ptr<pugi::xml_document> m_document;
};
#endif

#ifdef QUILLON_HAVE_TINYXML2
class CTinyxml2Engine : public CEngine {
public:
    bool Load(const std::string& path) override {
        m_document = std::make_unique<tinyxml2::XMLDocument>();
        return m_document->LoadFile(path.c_str()) == tinyxml2::XML_SUCCESS;
    }
    size_t Walk() override {
        size_t sum = 0;
        WalkNode(m_document.get(), sum);
        return sum;
    }
    size_t CountElements() override {
        size_t count = 0;
        Count(m_document.get(), count);
        return count;
    }
    void Release() override { m_document.reset(); }

private:
    static void WalkNode(const tinyxml2::XMLNode* node, size_t& sum) {
        for (const tinyxml2::XMLElement* e = node->FirstChildElement(); e; e = e->NextSiblingElement()) {
            sum += 1 + std::strlen(e->Name());
            for (const tinyxml2::XMLAttribute* a = e->FirstAttribute(); a; a = a->Next())
                sum += std::strlen(a->Name()) + std::strlen(a->Value());
            WalkNode(e, sum);
        }
    }
    static void Count(const tinyxml2::XMLNode* node, size_t& count) {
        for (const tinyxml2::XMLElement* e = node->FirstChildElement(); e; e = e->NextSiblingElement()) {
            ++count;
            Count(e, count);
        }
    }
    std::unique_ptr<tinyxml2::XMLDocument> m_document;
};
#endif

#ifdef QUILLON_HAVE_LIBXML2
class CLibxml2Engine : public CEngine {
public:
    ~CLibxml2Engine() override { Release(); }
    bool Load(const std::string& path) override {
        Release();
        m_document =
            xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        return m_document != nullptr;
    }
    size_t Walk() override {
        size_t sum = 0;
        WalkNode(xmlDocGetRootElement(m_document), sum);
        return sum;
    }
    size_t CountElements() override {
        size_t count = 0;
        Count(xmlDocGetRootElement(m_document), count);
        return count;
    }
    void Release() override {
        if (m_document)
            xmlFreeDoc(m_document);
        m_document = nullptr;
    }

private:
    static void WalkNode(xmlNode* node, size_t& sum) {
        for (; node; node = node->next) {
            if (node->type != XML_ELEMENT_NODE)
                continue;
            sum += 1 + std::strlen(reinterpret_cast<const char*>(node->name));
            for (xmlAttr* a = node->properties; a; a = a->next) {
                sum += std::strlen(reinterpret_cast<const char*>(a->name));
                if (a->children && a->children->content)
                    sum += std::strlen(reinterpret_cast<const char*>(a->children->content));
            }
            WalkNode(node->children, sum);
        }
    }
    static void Count(xmlNode* node, size_t& count) {
        for (; node; node = node->next)
            if (node->type == XML_ELEMENT_NODE) {
                ++count;
                Count(node->children, count);
            }
    }
    xmlDoc* m_document = nullptr;
};
#endif

#ifdef QUILLON_HAVE_EXPAT
// A streaming parser: no document is kept; its "load" is a read and a full parse that
// counts the elements, the least work any loader can do.
class CExpatEngine : public CEngine {
public:
    bool Load(const std::string& path) override {
        const std::string bytes = ReadWholeFile(path);
        XML_Parser parser = XML_ParserCreate(nullptr);
        m_elements = 0;
        XML_SetUserData(parser, &m_elements);
        XML_SetStartElementHandler(
            parser, [](void* data, const XML_Char*, const XML_Char**) { ++*static_cast<size_t*>(data); });
        const bool ok = XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1) == XML_STATUS_OK;
        XML_ParserFree(parser);
        return ok;
    }
    size_t Walk() override { return m_elements; }
    size_t CountElements() override { return m_elements; }
    void Release() override {}
    bool HoldsDocument() const override { return false; }

private:
    size_t m_elements = 0;
};
#endif

} // namespace

std::vector<std::string> EngineNames() {
    std::vector<std::string> names = {"quillon"};
#ifdef QUILLON_HAVE_PUGIXML
    names.push_back("pugixml");
#endif
#ifdef QUILLON_HAVE_TINYXML2
    names.push_back("tinyxml2");
#endif
#ifdef QUILLON_HAVE_LIBXML2
    names.push_back("libxml2");
#endif
#ifdef QUILLON_HAVE_EXPAT
    names.push_back("expat");
#endif
    return names;
}

std::unique_ptr<CEngine> MakeEngine(const std::string& name) {
    if (name == "quillon")
        return std::make_unique<CQuillonEngine>();
#ifdef QUILLON_HAVE_PUGIXML
    if (name == "pugixml")
        return std::make_unique<CPugixmlEngine>();
#endif
#ifdef QUILLON_HAVE_TINYXML2
    if (name == "tinyxml2")
        return std::make_unique<CTinyxml2Engine>();
#endif
#ifdef QUILLON_HAVE_LIBXML2
    if (name == "libxml2")
        return std::make_unique<CLibxml2Engine>();
#endif
#ifdef QUILLON_HAVE_EXPAT
    if (name == "expat")
        return std::make_unique<CExpatEngine>();
#endif
    return nullptr;
}

} // namespace quillon::bench
