#include <algorithm>
#include <string>

#include "motion/route_formats.h"
#include "motion/xml_route.h"
#include "support/shown_text.h"

namespace waymock::motion {

std::string_view localName(const pugi::xml_node& node) {
  const std::string_view name = node.name();
  const auto colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool isElement(const pugi::xml_node& node, std::string_view name) {
  return node.type() == pugi::node_element && localName(node) == name;
}

Route readXmlRoute(std::string& text, const std::string& source) {
  RouteBuilder builder(source, "point");
  // Without parse_doctype a document type declaration is skipped whole, so
  // the entities it declares are never expanded (a "billion laughs" file
  // costs nothing); a reference to one stays as its text. Text embedded in
  // its element saves a node for every <ele> and <time>.
  constexpr unsigned kOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_embed_pcdata;
  const std::size_t size = text.size();
  pugi::xml_document document;
  const pugi::xml_parse_result result =
      document.load_buffer_inplace(text.data(), size, kOptions, pugi::encoding_auto);
  if (result.status == pugi::status_no_document_element)
    builder.failFile("not XML: the file holds no element.");
  if (!result) {
    // The parse only ever moves text towards the start of its own node, so
    // the line ends before the error are all still there.
    const auto offset =
        std::min(static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0)), size);
    const auto line =
        1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n');
    std::string why = result.description();
    if (!why.empty() && why[0] >= 'A' && why[0] <= 'Z')
      why[0] = static_cast<char>(why[0] - 'A' + 'a');
    builder.failFile("not well-formed XML: " + why + " on line " + std::to_string(line) + ".");
  }
  const pugi::xml_node root = document.document_element();
  if (isElement(root, "gpx")) return readGpx(root, builder);
  if (isElement(root, "kml")) return readKml(root, builder);
  builder.failFile("the XML is neither GPX nor KML: its root element is <" +
                   shownText(root.name(), 40) + ">.");
}

}  // namespace waymock::motion
