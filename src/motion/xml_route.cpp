#include "motion/xml_route.h"

#include <expat.h>

#include <exception>
#include <new>
#include <type_traits>
#include <vector>

#include "motion/route_formats.h"
#include "support/error.h"
#include "support/shown_text.h"

namespace waymock::motion {

static_assert(std::is_same_v<XML_Char, char>, "expat must hand over UTF-8 text");

std::string_view localName(std::string_view name) {
  const auto colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view attribute(const char* const* attributes, std::string_view name) {
  for (; attributes[0] != nullptr; attributes += 2)
    if (name == attributes[0]) return attributes[1];
  return {};
}

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

// Feeds the document to the reader of its format as the parse goes, so that
// nothing of the file is kept but the points read from it.
class XmlRouteParser {
 public:
  explicit XmlRouteParser(const std::string& source) : source_(source) {}

  Route read(const ReadPiece& readPiece) {
    // Streaming, not a document tree: a tree costs several times the file's
    // size in memory before the first point is read.
    const std::unique_ptr<XML_ParserStruct, ParserFree> owner(XML_ParserCreate(nullptr));
    if (!owner) throw std::bad_alloc();
    parser_ = owner.get();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlRouteParser::onStart, &XmlRouteParser::onEnd);
    XML_SetCharacterDataHandler(parser_, &XmlRouteParser::onText);
    XML_SetCdataSectionHandler(parser_, &XmlRouteParser::onCdataStart, &XmlRouteParser::onBoundary);
    XML_SetCommentHandler(parser_, &XmlRouteParser::onComment);
    XML_SetProcessingInstructionHandler(parser_, &XmlRouteParser::onInstruction);
    // A document that declares entities is refused, so none is ever expanded
    // (a "billion laughs" file costs nothing), and no external entity or DTD
    // is ever loaded: there is no handler that would fetch one.
    XML_SetEntityDeclHandler(parser_, &XmlRouteParser::onEntityDeclaration);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetUnknownEncodingHandler(parser_, &XmlRouteParser::onUnknownEncoding, nullptr);

    for (bool last = false; !last;) {
      void* buffer = XML_GetBuffer(parser_, static_cast<int>(kXmlPieceBytes));
      if (buffer == nullptr) throw std::bad_alloc();
      const std::size_t length = readPiece(static_cast<char*>(buffer), kXmlPieceBytes);
      findStart(std::string_view(static_cast<const char*>(buffer), length));
      last = length == 0;
      if (XML_ParseBuffer(parser_, static_cast<int>(length), last) == XML_STATUS_OK) continue;
      if (error_) std::rethrow_exception(error_);
      // What follows the root element holds no route.
      if (rootClosed_) break;
      failParse();
    }
    if (!content_) {
      failFile("the XML is neither GPX nor KML: its root element is neither <gpx> nor <kml>.");
    }
    return content_->finish();
  }

 private:
  // Where the open element is in its text (see XmlRouteContent::text).
  struct TextState {
    bool wanted = false;
    bool kept = false;  // the current run is the text
    bool done = false;  // the text has ended
  };

  [[noreturn]] void failFile(const std::string& problem) const {
    raiseIo(shownText(source_, 1024) + ": " + problem);
  }

  // Where the document starts: its first byte after a byte order mark and
  // blanks.
  void findStart(std::string_view piece) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    for (const char c : piece) {
      if (startFound_) return;
      const auto at = static_cast<std::size_t>(start_);
      const bool mark = !blankSeen_ && at < kByteOrderMark.size() && c == kByteOrderMark[at];
      if (!mark && !isBlank(c)) {
        startFound_ = true;
        return;
      }
      blankSeen_ = blankSeen_ || !mark;
      ++start_;
    }
  }

  [[noreturn]] void failParse() const {
    const XML_Error code = XML_GetErrorCode(parser_);
    // Text that is no markup at all, as opposed to markup gone wrong.
    if (!rootSeen_ && (code == XML_ERROR_NO_ELEMENTS || XML_GetCurrentByteIndex(parser_) == start_))
      failFile("not XML: the file holds no element.");
    failFile(std::string("not well-formed XML: ") + XML_ErrorString(code) + " on line " +
             std::to_string(XML_GetCurrentLineNumber(parser_)) + ".");
  }

  // No exception may cross expat: the first one stops the parse, and read()
  // raises it again.
  template <typename Handle>
  static void guarded(void* data, Handle&& handle) {
    auto* self = static_cast<XmlRouteParser*>(data);
    if (self->stopped_) return;
    try {
      handle(*self);
    } catch (...) {
      self->stop(std::current_exception());
    }
  }

  void stop(std::exception_ptr error) {
    error_ = std::move(error);
    stopped_ = true;
    XML_StopParser(parser_, XML_FALSE);
  }

  // A child element, comment or CDATA section ends the open element's run of
  // text: the text when it held more than blanks, else nothing.
  void endRun() {
    TextState& state = texts_.back();
    if (!state.wanted || state.done) return;
    if (state.kept)
      state.done = true;
    else
      content_->dropText();
  }

  static void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    guarded(data, [name, attributes](XmlRouteParser& self) {
      if (!self.rootSeen_) {
        self.rootSeen_ = true;
        if (localName(name) == "gpx")
          self.content_ = gpxContent(self.source_);
        else if (localName(name) == "kml")
          self.content_ = kmlContent(self.source_);
        self.texts_.emplace_back();
        return;
      }
      self.endRun();
      const bool wanted = self.content_ && self.content_->open(name, attributes);
      self.texts_.push_back({wanted});
    });
  }

  static void XMLCALL onEnd(void* data, const XML_Char*) {
    guarded(data, [](XmlRouteParser& self) {
      if (self.texts_.size() == 1) {
        self.rootClosed_ = true;
        self.stop(nullptr);
        return;
      }
      self.texts_.pop_back();
      if (self.content_) self.content_->close();
    });
  }

  static void XMLCALL onText(void* data, const XML_Char* text, int length) {
    guarded(data, [text, length](XmlRouteParser& self) {
      if (self.texts_.empty()) return;
      TextState& state = self.texts_.back();
      if (!state.wanted || state.done) return;
      const std::string_view piece(text, static_cast<std::size_t>(length));
      if (!state.kept) {
        for (const char c : piece) {
          if (!isBlank(c)) {
            state.kept = true;
            break;
          }
        }
      }
      self.content_->text(piece);
    });
  }

  static void XMLCALL onBoundary(void* data) {
    guarded(data, [](XmlRouteParser& self) {
      if (!self.texts_.empty()) self.endRun();
    });
  }

  static void XMLCALL onCdataStart(void* data) {
    guarded(data, [](XmlRouteParser& self) {
      if (self.texts_.empty()) return;
      self.endRun();
      self.texts_.back().kept = true;
    });
  }

  static void XMLCALL onComment(void* data, const XML_Char*) { onBoundary(data); }

  static void XMLCALL onInstruction(void* data, const XML_Char*, const XML_Char*) {
    onBoundary(data);
  }

  static void XMLCALL onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int,
                                          const XML_Char*, const XML_Char*, const XML_Char*,
                                          const XML_Char*) {
    guarded(data,
            [](XmlRouteParser& self) { self.failFile("entity declarations are not allowed."); });
  }

  // A route needs only the ASCII of tags and numbers, which every encoding
  // that declares itself in ASCII shares; other bytes are read as Latin-1.
  static int XMLCALL onUnknownEncoding(void*, const XML_Char*, XML_Encoding* encoding) {
    for (int byte = 0; byte < 256; ++byte) encoding->map[byte] = byte;
    encoding->data = nullptr;
    encoding->convert = nullptr;
    encoding->release = nullptr;
    return XML_STATUS_OK;
  }

  const std::string& source_;
  XML_Parser parser_ = nullptr;
  std::unique_ptr<XmlRouteContent> content_;
  std::vector<TextState> texts_;  // one for each open element, the root's first
  bool rootSeen_ = false;
  bool rootClosed_ = false;
  bool stopped_ = false;
  std::exception_ptr error_;
  XML_Index start_ = 0;  // see findStart
  bool startFound_ = false;
  bool blankSeen_ = false;
};

}  // namespace

Route readXmlRoute(const ReadPiece& read, const std::string& source) {
  return XmlRouteParser(source).read(read);
}

}  // namespace waymock::motion
