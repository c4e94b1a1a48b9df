#include "firmware/pda_text.h"

#include <ext/stdio_filebuf.h>

#include <istream>

#include "firmware/input_file.h"

namespace firmware {
namespace {

enum class CharClass { Separator, Digit, Prefix, Comment, Other };

CharClass Classify(int c) {
  switch (c) {
    case ' ': case '\t': case '\r': case '\n': case '\v': case '\f': case ',':
      return CharClass::Separator;
    case ';': case '#':
      return CharClass::Comment;
    case 'x':
      return CharClass::Prefix;
    default:
      break;
  }
  if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) return CharClass::Digit;
  return CharClass::Other;
}

int DigitValue(int c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

int ToLower(int c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

class Parser {
 public:
  Parser(std::span<std::uint16_t, kPdaWords> words, std::ostream& out) : words_(words), out_(out) {}

  // Feeds one lower-cased character; false on an error (already reported).
  bool Feed(int c) {
    const CharClass cls = Classify(c);
    if (cls == CharClass::Other || cls == CharClass::Comment) {
      if (wordOpen() && cls == CharClass::Other) {
        out_ << "ERROR on line " << std::dec << line_ << ": unrecognized character in word.\n";
        return false;
      }
      if (wordOpen() && !EndWord()) return false;
      ignoreRest_ = true;
      return true;
    }
    if (c == '\n') {
      if (wordOpen() && !EndWord()) return false;
      ++line_;
      ignoreRest_ = false;
      return true;
    }
    if (ignoreRest_ && !wordOpen()) return true;
    if (cls == CharClass::Separator) return !wordOpen() || EndWord();
    if (cls == CharClass::Digit) {
      value_ = static_cast<std::uint16_t>(value_ * 16 + DigitValue(c));
      ++chars_;
      return true;
    }
    // The prefix letter: only the x of a leading "0x" is allowed.
    if (!wordOpen() || value_ != 0) {
      out_ << "Error on line " << std::dec << line_ << ": Unknown number format!\n";
      return false;
    }
    return true;
  }

  bool full() const { return stored_ == kPdaWords; }

  std::size_t Finish() {
    if (stored_ != nextRecord_) {
      out_ << "PDA format invalid. Check your file.\n";
      return 0;
    }
    return stored_;
  }

 private:
  bool wordOpen() const { return chars_ != 0; }

  bool EndWord() {
    if (chars_ > 4) {
      out_ << "Error on line " << std::dec << line_ << ": word too long.\n";
      return false;
    }
    if (stored_ == nextRecord_) nextRecord_ = stored_ + value_ + 1;
    words_[stored_++] = value_;
    value_ = 0;
    chars_ = 0;
    return true;
  }

  std::span<std::uint16_t, kPdaWords> words_;
  std::ostream& out_;
  std::uint16_t value_ = 0;
  unsigned chars_ = 0;
  std::size_t stored_ = 0;
  std::size_t nextRecord_ = 0;
  unsigned long line_ = 1;
  bool ignoreRest_ = false;
};

}  // namespace

std::size_t ParsePdaText(std::istream& in, std::span<std::uint16_t, kPdaWords> words,
                         std::ostream& out) {
  Parser parser(words, out);
  std::streambuf* buf = in.rdbuf();
  while (!parser.full()) {
    const int c = buf->sbumpc();
    // The end of the input acts as one final line feed.
    if (c == std::char_traits<char>::eof()) {
      if (!parser.Feed('\n')) return 0;
      break;
    }
    if (!parser.Feed(ToLower(c))) return 0;
  }
  return parser.Finish();
}

std::size_t ParsePdaFile(const std::string& path, std::span<std::uint16_t, kPdaWords> words,
                         std::ostream& out) {
  std::string reason;
  const InputFile file = OpenInputFile(path, reason);
  if (!file) {
    out << "file not found!";
    if (reason == kNotRegularFile) out << " " << path << ": " << reason;
    out << "\n";
    return 0;
  }
  __gnu_cxx::stdio_filebuf<char> buffer(file.get(), std::ios::in);
  std::istream in(&buffer);
  return ParsePdaText(in, words, out);
}

}  // namespace firmware
