#include "parser/link_extractor.h"

#include "parser/attribute_scanner.h"
#include "parser/css_scanner.h"
#include "parser/link_resolver.h"
#include "parser/link_tokenizer.h"

namespace quillharbor {

void ExtractLinks(const HtmlBuffer& buffer, std::vector<std::string>& links, bool rawMode,
                  std::string_view baseUrl) {
    std::string base(baseUrl);
    forEachLinkAttribute(
        buffer, [&](std::string_view attribute, LinkAttributeRole role, std::size_t& position) {
            std::string value = GetAttrValue(buffer, attribute, position);
            if (role == LinkAttributeRole::Base) {
                ResolveLink(value, base);
                if (!value.empty()) {
                    base = std::move(value);
                }
                return;
            }
            if (!rawMode) {
                ResolveLink(value, base);
            }
            if (!value.empty()) {
                links.push_back(std::move(value));
            }
        });
}

namespace {

void appendResolved(std::vector<FoundLink>& links, std::string url, LinkKind kind,
                    std::string_view base) {
    ResolveLink(url, base);
    if (!url.empty()) {
        links.push_back({std::move(url), kind});
    }
}

void appendCss(std::vector<FoundLink>& links, std::string_view css, std::string_view base) {
    for (CssReference& reference : FindCssReferences(css)) {
        appendResolved(links, std::move(reference.url), LinkKind::Requisite, base);
    }
}

}  // namespace

void ExtractLinksAndRequisites(const HtmlBuffer& buffer, std::vector<FoundLink>& links,
                               std::string_view baseUrl) {
    std::string base(baseUrl);
    forEachLinkAndRequisite(
        buffer,
        [&](std::string_view attribute, LinkAttributeRole role, std::size_t& position) {
            std::string value = GetAttrValue(buffer, attribute, position);
            switch (role) {
                case LinkAttributeRole::Base:
                    ResolveLink(value, base);
                    if (!value.empty()) {
                        base = std::move(value);
                    }
                    break;
                case LinkAttributeRole::Link:
                    appendResolved(links, std::move(value), LinkKind::Page, base);
                    break;
                case LinkAttributeRole::Requisite:
                    appendResolved(links, std::move(value), LinkKind::Requisite, base);
                    break;
                case LinkAttributeRole::Srcset:
                    for (const auto& [begin, end] : SrcsetUrlRanges(value)) {
                        appendResolved(links, value.substr(begin, end - begin), LinkKind::Requisite,
                                       base);
                    }
                    break;
                case LinkAttributeRole::Style:
                    appendCss(links, value, base);
                    break;
            }
        },
        [&](std::size_t begin, std::size_t end) {
            appendCss(links, buffer.document().substr(begin, end - begin), base);
        });
}

void ExtractCssLinks(std::string_view css, std::vector<std::string>& links,
                     std::string_view baseUrl) {
    for (CssReference& reference : FindCssReferences(css)) {
        ResolveLink(reference.url, baseUrl);
        if (!reference.url.empty()) {
            links.push_back(std::move(reference.url));
        }
    }
}

}  // namespace quillharbor
