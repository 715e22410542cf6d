#pragma once
// A text of any length in 16 bytes: up to 15 bytes in place, a longer one on the heap. A contest's
// millions of QSOs hold seven texts each (calls, band, mode, numbers, exchanges), nearly all short,
// which a std::string would hold in 32 bytes.

#include <bit>
#include <compare>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace crosscheck {

/// A text held in place when it is short: a std::string for what the matching keeps per QSO.
class ShortText {
  public:
    ShortText() noexcept { setInline({}); }
    ShortText(std::string_view text) { set(text); }  // implicit: it stands where a string would
    ShortText(const std::string& text) : ShortText(std::string_view(text)) {}
    ShortText(const char* text) : ShortText(std::string_view(text ? text : "")) {}
    ShortText(const ShortText& other) : ShortText(other.view()) {}
    ShortText(ShortText&& other) noexcept {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.setInline({});
    }
    ShortText& operator=(ShortText other) noexcept {
        swap(other);
        return *this;
    }
    ~ShortText() { release(); }

    void swap(ShortText& other) noexcept {
        char held[sizeof bytes_];
        std::memcpy(held, bytes_, sizeof bytes_);
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        std::memcpy(other.bytes_, held, sizeof bytes_);
    }

    [[gnu::always_inline]] std::string_view view() const noexcept {
        const auto tag = static_cast<unsigned char>(bytes_[kInline]);
        if (tag == kHeap) [[unlikely]]
            return heapView();
        return {bytes_, kInline - tag};
    }
    [[gnu::always_inline]] operator std::string_view() const noexcept { return view(); }
    operator std::string() const { return std::string(view()); }
    std::string str() const { return std::string(view()); }

    [[gnu::always_inline]] bool empty() const noexcept { return view().empty(); }
    std::size_t size() const noexcept { return view().size(); }
    const char* data() const noexcept { return view().data(); }
    char operator[](std::size_t i) const noexcept { return view()[i]; }
    std::string_view substr(std::size_t pos, std::size_t n = std::string_view::npos) const {
        return view().substr(pos, n);
    }
    template <typename T>
    std::size_t find(const T& what, std::size_t pos = 0) const noexcept {
        return view().find(what, pos);
    }

    [[gnu::always_inline]] friend bool operator==(const ShortText& a, const ShortText& b) noexcept {
        // Two texts in place are equal when their 16 bytes are (the bytes past a text are zero).
        if (!a.onHeap() && !b.onHeap()) {
            std::uint64_t x[2], y[2];
            std::memcpy(x, a.bytes_, sizeof x);
            std::memcpy(y, b.bytes_, sizeof y);
            return x[0] == y[0] && x[1] == y[1];
        }
        return a.view() == b.view();
    }
    [[gnu::always_inline]] friend bool operator==(const ShortText& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const ShortText& a, const char* b) noexcept { return a.view() == std::string_view(b); }
    [[gnu::always_inline]] friend bool operator==(const ShortText& a, const std::string& b) noexcept {
        return a.view() == b;
    }
    friend std::strong_ordering operator<=>(const ShortText& a, const ShortText& b) noexcept {
        if (a.onHeap() || b.onHeap()) return a.view() <=> b.view();
        // In place, the bytes in order and then the size order two texts as their views would: a
        // text ends in zero bytes, which tie only with a longer text's own zero bytes.
        return a.orderKey() <=> b.orderKey();
    }
    friend std::strong_ordering operator<=>(const ShortText& a, std::string_view b) noexcept { return a.view() <=> b; }
    friend std::strong_ordering operator<=>(const ShortText& a, const std::string& b) noexcept {
        return a.view() <=> std::string_view(b);
    }
    friend std::string operator+(const ShortText& a, const ShortText& b) { return std::string(a.view()).append(b.view()); }
    friend std::string operator+(const ShortText& a, std::string_view b) { return std::string(a.view()).append(b); }
    friend std::string operator+(const ShortText& a, const char* b) { return std::string(a.view()).append(b); }
    friend std::string operator+(const ShortText& a, const std::string& b) { return std::string(a.view()).append(b); }
    friend std::string operator+(std::string_view a, const ShortText& b) { return std::string(a).append(b.view()); }
    friend std::string operator+(const std::string& a, const ShortText& b) { return a + std::string(b.view()); }
    friend std::string operator+(const char* a, const ShortText& b) { return std::string(a).append(b.view()); }
    friend std::ostream& operator<<(std::ostream& out, const ShortText& t) { return out << t.view(); }

  private:
    // In place: the text, then in the last byte the room left (so a text of 15 bytes ends in a NUL).
    // On the heap: the pointer and the size, and kHeap in the last byte.
    static constexpr std::size_t kInline = 15;
    static constexpr unsigned char kHeap = 0xFF;

    [[gnu::always_inline]] bool onHeap() const noexcept { return static_cast<unsigned char>(bytes_[kInline]) == kHeap; }
    [[gnu::noinline]] std::string_view heapView() const noexcept { return {heapData(), heapSize()}; }
    // An in-place text's bytes as two numbers, the first byte the highest, the size in the last.
    std::pair<std::uint64_t, std::uint64_t> orderKey() const noexcept {
        std::uint64_t hi, lo;
        std::memcpy(&hi, bytes_, sizeof hi);
        std::memcpy(&lo, bytes_ + sizeof hi, sizeof lo);
        if constexpr (std::endian::native == std::endian::little) {
            hi = __builtin_bswap64(hi);
            lo = __builtin_bswap64(lo);
        }
        return {hi, (lo & ~std::uint64_t{0xFF}) | (kInline - static_cast<unsigned char>(bytes_[kInline]))};
    }
    const char* heapData() const noexcept {
        const char* p;
        std::memcpy(&p, bytes_, sizeof p);
        return p;
    }
    std::uint32_t heapSize() const noexcept {
        std::uint32_t n;
        std::memcpy(&n, bytes_ + sizeof(char*), sizeof n);
        return n;
    }
    void setInline(std::string_view text) noexcept {
        std::memset(bytes_, 0, sizeof bytes_);
        if (!text.empty()) std::memcpy(bytes_, text.data(), text.size());
        bytes_[kInline] = static_cast<char>(kInline - text.size());
    }
    void set(std::string_view text) {
        if (text.size() <= kInline) return setInline(text);
        char* p = new char[text.size()];
        std::memcpy(p, text.data(), text.size());
        const auto n = static_cast<std::uint32_t>(text.size());
        std::memcpy(bytes_, &p, sizeof p);
        std::memcpy(bytes_ + sizeof p, &n, sizeof n);
        bytes_[kInline] = static_cast<char>(kHeap);
    }
    void release() noexcept {
        if (onHeap()) delete[] heapData();
    }

    alignas(8) char bytes_[16];
};

/// A hash of a text, so that a table keyed by strings is searched with any text (a ShortText, a
/// string_view) without a copy.
struct TextHash {
    using is_transparent = void;
    // Not noexcept on purpose: the standard library then keeps each key's hash in its node, and a
    // search compares hashes before texts instead of hashing every key it passes in a bucket again.
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

/// A table keyed by strings, searched with any text.
template <typename V>
using TextMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;

}  // namespace crosscheck
