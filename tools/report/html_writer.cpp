#include "tools/report/html_writer.h"

#include "tools/report/html_page.h"

namespace report::html {

void Writer::startTag(std::string_view tag, Attributes attributes) {
    out_ += '<';
    out_ += tag;
    for (const Attribute& a : attributes) {
        out_ += ' ';
        out_ += a.name;
        out_ += "=\"";
        appendEscaped(out_, a.value);
        out_ += '"';
    }
}

Writer& Writer::open(std::string_view tag, Attributes attributes) {
    startTag(tag, attributes);
    out_ += '>';
    return *this;
}

Writer& Writer::close(std::string_view tag) {
    out_ += "</";
    out_ += tag;
    out_ += '>';
    return *this;
}

Writer& Writer::element(std::string_view tag, std::string_view text, Attributes attributes) {
    open(tag, attributes);
    appendEscaped(out_, text);
    return close(tag);
}

Writer& Writer::element(std::string_view tag, Raw markup, Attributes attributes) {
    open(tag, attributes);
    out_ += markup.markup;
    return close(tag);
}

Writer& Writer::empty(std::string_view tag, Attributes attributes) {
    startTag(tag, attributes);
    out_ += "/>";
    return *this;
}

Writer& Writer::text(std::string_view text) {
    appendEscaped(out_, text);
    return *this;
}

Writer& Writer::raw(std::string_view markup) {
    out_ += markup;
    return *this;
}

}  // namespace report::html
