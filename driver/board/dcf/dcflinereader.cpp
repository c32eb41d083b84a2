// Reads a DCF file line by line, bytes as characters, with comments and overlong tails dropped.
#include "driver/board/dcf/dcflinereader.h"

namespace zor::board {

namespace {

constexpr size_t kPieceLength = 127;

// Files are 8-bit text; every byte becomes one character, as a text-mode
// stream in the C locale reads it.
wint_t Peek(std::FILE* stream) {
  const int c = std::fgetc(stream);
  if (c == EOF) return WEOF;
  std::ungetc(c, stream);
  return static_cast<wint_t>(static_cast<unsigned char>(c));
}

// Up to kPieceLength characters, up to and including a line feed. False when the
// file ended before any character.
bool ReadPiece(std::FILE* stream, std::wstring& piece) {
  piece.clear();
  while (piece.size() < kPieceLength) {
    const int c = std::fgetc(stream);
    if (c == EOF) break;
    piece.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    if (c == '\n') break;
  }
  return !piece.empty();
}

bool EndsLine(const std::wstring& piece) {
  return piece.size() < kPieceLength || piece.back() == L'\n';
}

// Reads pieces until the physical line has ended. False at the end of the file
// before any character.
bool DropLine(std::FILE* stream) {
  std::wstring piece;
  do {
    if (!ReadPiece(stream, piece)) return false;
  } while (!EndsLine(piece));
  return true;
}

void CutAt(std::wstring& line, wchar_t c) {
  const size_t at = line.find(c);
  if (at != std::wstring::npos) line.resize(at);
}

}  // namespace

uint32_t ReadConfigLine(std::FILE* stream, std::wstring& line, size_t capacity, int mode,
                        int commentSwitch) {
  line.clear();
  if (commentSwitch == kConfigSkipComments) {
    while (Peek(stream) == L'/') {
      if (!DropLine(stream)) return kConfigLineFailed;
    }
  }
  if (mode != kConfigModeAny && Peek(stream) == L'[') return kConfigSectionEnd;

  std::wstring piece;
  if (!ReadPiece(stream, piece)) return kConfigLineFailed;
  if (!EndsLine(piece)) DropLine(stream);

  CutAt(piece, L'\n');
  CutAt(piece, L'\r');
  if (piece.find(L"XmlFile ") == std::wstring::npos) CutAt(piece, L'/');
  if (piece.empty() || piece.size() + 1 > capacity) return kConfigLineFailed;
  line = std::move(piece);
  return 0;
}

}  // namespace zor::board
