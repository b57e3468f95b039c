#include "parser/link_extractor.h"

#include "parser/attribute_scanner.h"
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

}  // namespace quillharbor
