#pragma once
// Writing HTML elements into a string. Texts and attribute values are escaped unless the caller
// marks them raw, so a text from a log cannot turn into markup by an escape forgotten.

#include <initializer_list>
#include <string>
#include <string_view>

namespace report::html {

/// Markup the caller built and vouches for: written as it is.
struct Raw {
    std::string_view markup;
};

/// One attribute of an element; its value is escaped.
struct Attribute {
    std::string_view name;
    std::string_view value;
};

/// The attributes of one element, in the order they are written.
using Attributes = std::initializer_list<Attribute>;

/// Appends HTML to a string it does not own. Every text and attribute value is escaped (as
/// appendEscaped does) unless it comes as Raw.
class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}

    /// `<tag name="value" ...>`.
    Writer& open(std::string_view tag, Attributes attributes = {});
    /// `</tag>`.
    Writer& close(std::string_view tag);
    /// `<tag ...>text</tag>`, the text escaped.
    Writer& element(std::string_view tag, std::string_view text, Attributes attributes = {});
    /// `<tag ...>markup</tag>`, the markup as it is.
    Writer& element(std::string_view tag, Raw markup, Attributes attributes = {});
    /// `<tag .../>`: an SVG element without content.
    Writer& empty(std::string_view tag, Attributes attributes = {});
    /// The text, escaped.
    Writer& text(std::string_view text);
    /// The markup as it is.
    Writer& raw(std::string_view markup);

    /// The string written to.
    std::string& out() { return out_; }

private:
    void startTag(std::string_view tag, Attributes attributes);

    std::string& out_;
};

}  // namespace report::html
