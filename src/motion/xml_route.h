#pragma once

// The XML formats' readers. The parse streams the document's elements to the
// reader of its format, chosen by the root element: GPX or KML.

#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "motion/route.h"
#include "support/error.h"

namespace waymock::motion {

// What the reader of one format is told of the elements below the root, in
// document order.
class XmlRouteContent {
 public:
  virtual ~XmlRouteContent() = default;

  // An element opens. `attributes` holds each name followed by its value,
  // ended by a null pointer. True when its text is wanted: the text then comes
  // to text() in pieces before the element closes.
  virtual bool open(std::string_view name, const char* const* attributes) = 0;
  // A piece of the open element's text. An element's text is its first run of
  // text that holds more than blanks, or is a CDATA section; child elements,
  // comments and CDATA sections end a run.
  virtual void text(std::string_view piece) = 0;
  // The pieces given since the element opened were a run of blanks only, not
  // its text.
  virtual void dropText() = 0;
  virtual void close() = 0;
  // The route, once the document has proved well-formed.
  virtual Route finish() = 0;

 protected:
  // Runs `read`, keeping the problem it finds with a point. A problem counts
  // only if the point's kind is the one read, which is known at the
  // document's end: the first is kept until then, and the kind's later points
  // are skipped.
  template <typename Read>
  void attempt(Read&& read) {
    try {
      read();
    } catch (const IoError&) {
      error_ = std::current_exception();
    }
  }

  std::exception_ptr error_;  // the first problem with a point of the kind read
};

// An element's name without its namespace prefix: "Track" for "gx:Track".
std::string_view localName(std::string_view name);
// The value of the attribute `name`; empty when there is none.
std::string_view attribute(const char* const* attributes, std::string_view name);

std::unique_ptr<XmlRouteContent> gpxContent(const std::string& source);
std::unique_ptr<XmlRouteContent> kmlContent(const std::string& source);

}  // namespace waymock::motion
