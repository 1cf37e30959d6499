#include "plugin_host/preset_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kProgramNameBytes = 28;
// Everything after the byte-size field up to the kind-specific data.
constexpr std::size_t kHeaderAfterSize = 4 * 5 + kProgramNameBytes;
constexpr std::size_t kSizeFieldEnd = 8;
constexpr std::size_t kBankReservedBytes = 128;
// Everything after the byte-size field up to a bank's programs or chunk.
constexpr std::size_t kBankHeaderAfterSize = 4 * 5 + kBankReservedBytes;
constexpr std::int32_t kFirstBankVersionWithCurrentProgram = 2;

constexpr char kFileMagic[] = "CcnK";
constexpr char kParametersMagic[] = "FxCk";
constexpr char kChunkMagic[] = "FPCh";
constexpr char kBankMagic[] = "FxBk";
constexpr char kBankChunkMagic[] = "FBCh";

class Writer {
 public:
  void bytes(const void* data, std::size_t size) {
    const auto* first = static_cast<const unsigned char*>(data);
    out_.insert(out_.end(), first, first + size);
  }
  void magic(const char* four) { bytes(four, 4); }
  void int32(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    const unsigned char big[] = {
        static_cast<unsigned char>(bits >> 24), static_cast<unsigned char>(bits >> 16),
        static_cast<unsigned char>(bits >> 8), static_cast<unsigned char>(bits)};
    bytes(big, 4);
  }
  void float32(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    int32(static_cast<std::int32_t>(bits));
  }
  std::vector<unsigned char> take() { return std::move(out_); }

 private:
  std::vector<unsigned char> out_;
};

class Reader {
 public:
  explicit Reader(const std::vector<unsigned char>& in) : data_(in.data()), size_(in.size()) {}

  const unsigned char* bytes(std::size_t size, const char* what) {
    if (size_ - position_ < size)
      throw PresetFormatError(std::string("the file ends inside its ") + what);
    const unsigned char* first = data_ + position_;
    position_ += size;
    return first;
  }
  bool magic(const char* four, const char* what) {
    return std::memcmp(bytes(4, what), four, 4) == 0;
  }
  std::string magicText(const char* what) {
    const unsigned char* four = bytes(4, what);
    return std::string(four, four + 4);
  }
  std::int32_t int32(const char* what) {
    const unsigned char* big = bytes(4, what);
    const std::uint32_t bits = (std::uint32_t{big[0]} << 24) | (std::uint32_t{big[1]} << 16) |
                               (std::uint32_t{big[2]} << 8) | std::uint32_t{big[3]};
    return static_cast<std::int32_t>(bits);
  }
  float float32(const char* what) {
    const auto bits = static_cast<std::uint32_t>(int32(what));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::size_t remaining() const { return size_ - position_; }
  std::size_t position() const { return position_; }
  const unsigned char* data() const { return data_; }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

std::size_t dataSize(const PresetFile& preset) {
  return preset.kind == PresetFile::Kind::Parameters ? 4 * preset.parameters.size()
                                                     : 4 + preset.chunk.size();
}

void writeProgramName(Writer& out, const std::string& name) {
  char field[kProgramNameBytes] = {};
  name.copy(field, kProgramNameBytes - 1);
  out.bytes(field, kProgramNameBytes);
}

// A name that fills the field leaves no room for its terminating zero: it is
// cut to the characters a name keeps, as writing it back would cut it.
std::string readProgramName(Reader& in) {
  const unsigned char* field = in.bytes(kProgramNameBytes, "program name");
  constexpr std::size_t kKept = kProgramNameBytes - 1;
  const void* end = std::memchr(field, '\0', kKept);
  const std::size_t length =
      end != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(end) - field)
                     : kKept;
  return std::string(field, field + length);
}

void readParameters(Reader& in, PresetFile& preset) {
  if (preset.parameterCount < 0) throw PresetFormatError("a negative parameter count");
  if (in.remaining() != 4 * static_cast<std::size_t>(preset.parameterCount))
    throw PresetFormatError("the parameter values do not match the parameter count");
  for (std::int32_t i = 0; i < preset.parameterCount; ++i)
    preset.parameters.push_back(in.float32("parameter values"));
}

// A chunk, a program's or a bank's, is its byte size and its bytes, to the end of the file.
std::vector<unsigned char> readChunk(Reader& in) {
  const std::int32_t size = in.int32("chunk size");
  if (size < 0 || static_cast<std::size_t>(size) != in.remaining())
    throw PresetFormatError("the chunk size does not match the file");
  const unsigned char* data = in.bytes(static_cast<std::size_t>(size), "chunk");
  return {data, data + size};
}

void writeChunk(Writer& out, const std::vector<unsigned char>& chunk) {
  out.int32(static_cast<std::int32_t>(chunk.size()));
  out.bytes(chunk.data(), chunk.size());
}

// A user may name a directory or a path that is not there; the system's
// reason says which, where a stream would only report that it failed.
std::runtime_error readError(const char* what, const std::filesystem::path& path) {
  return std::runtime_error(std::string("cannot ") + what + " " + path.string() + ": " +
                            std::strerror(errno));
}

class OpenFile {
 public:
  explicit OpenFile(const std::filesystem::path& path)
      : descriptor_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~OpenFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  int descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

// Reads to the end rather than trusting the size fstat gives, so a pipe works
// too; a directory fails at its first read with EISDIR.
std::vector<unsigned char> readWholeFile(const std::filesystem::path& path) {
  const OpenFile file(path);
  if (file.descriptor() < 0) throw readError("open", path);
  struct stat status {};
  if (::fstat(file.descriptor(), &status) != 0) throw readError("read", path);
  std::vector<unsigned char> bytes;
  if (S_ISREG(status.st_mode)) bytes.reserve(static_cast<std::size_t>(status.st_size));
  unsigned char block[4096];
  for (;;) {
    const ssize_t count = ::read(file.descriptor(), block, sizeof block);
    if (count == 0) return bytes;
    if (count < 0 && errno != EINTR) throw readError("read", path);
    if (count > 0) bytes.insert(bytes.end(), block, block + count);
  }
}

// The kind of file, after checking the magic and the byte size before it.
std::string readKind(Reader& in, std::size_t fileSize) {
  if (!in.magic(kFileMagic, "header")) throw PresetFormatError("not a program file (no 'CcnK')");
  const std::int32_t size = in.int32("header");
  if (size < 0 || static_cast<std::size_t>(size) != fileSize - kSizeFieldEnd)
    throw PresetFormatError("the byte size in the header does not match the file");
  return in.magicText("header");
}

bool isBank(const std::vector<unsigned char>& bytes) {
  if (bytes.size() < kSizeFieldEnd + 4) return false;
  const unsigned char* kind = bytes.data() + kSizeFieldEnd;
  return std::memcmp(kind, kBankMagic, 4) == 0 || std::memcmp(kind, kBankChunkMagic, 4) == 0;
}

// Each program is a whole program file, its length in its own header.
PresetFile readBankProgram(Reader& in, std::int32_t number) {
  const std::string what = "program " + std::to_string(number);
  const std::size_t start = in.position();
  in.bytes(4, what.c_str());
  const std::int32_t size = in.int32(what.c_str());
  if (size < 0) throw PresetFormatError(what + " has a negative byte size");
  in.bytes(static_cast<std::size_t>(size), what.c_str());
  const std::vector<unsigned char> program(in.data() + start, in.data() + in.position());
  try {
    return decodePreset(program);
  } catch (const PresetFormatError& error) {
    throw PresetFormatError(what + ": " + error.what());
  }
}

void readBankPrograms(Reader& in, PresetBank& bank) {
  for (std::int32_t number = 0; number < bank.programCount; ++number)
    bank.programs.push_back(readBankProgram(in, number));
  if (in.remaining() != 0) throw PresetFormatError("bytes follow the bank's last program");
}

std::size_t dataSize(const PresetBank& bank) {
  if (bank.kind == PresetBank::Kind::Chunk) return 4 + bank.chunk.size();
  std::size_t size = 0;
  for (const PresetFile& program : bank.programs)
    size += kSizeFieldEnd + kHeaderAfterSize + dataSize(program);
  return size;
}

}  // namespace

std::vector<unsigned char> encodePreset(const PresetFile& preset) {
  Writer out;
  out.magic(kFileMagic);
  out.int32(static_cast<std::int32_t>(kHeaderAfterSize + dataSize(preset)));
  const bool parameters = preset.kind == PresetFile::Kind::Parameters;
  out.magic(parameters ? kParametersMagic : kChunkMagic);
  out.int32(preset.formatVersion);
  out.int32(preset.pluginId);
  out.int32(preset.pluginVersion);
  out.int32(parameters ? static_cast<std::int32_t>(preset.parameters.size())
                       : preset.parameterCount);
  writeProgramName(out, preset.programName);
  if (parameters) {
    for (float value : preset.parameters) out.float32(value);
  } else {
    writeChunk(out, preset.chunk);
  }
  return out.take();
}

PresetFile decodePreset(const std::vector<unsigned char>& bytes) {
  Reader in(bytes);
  const std::string kind = readKind(in, bytes.size());
  PresetFile preset;
  if (kind == kParametersMagic) {
    preset.kind = PresetFile::Kind::Parameters;
  } else if (kind == kChunkMagic) {
    preset.kind = PresetFile::Kind::Chunk;
  } else {
    throw PresetFormatError("not a program of parameters or chunk ('" + kind + "')");
  }
  preset.formatVersion = in.int32("header");
  preset.pluginId = in.int32("header");
  preset.pluginVersion = in.int32("header");
  preset.parameterCount = in.int32("header");
  preset.programName = readProgramName(in);
  if (preset.kind == PresetFile::Kind::Parameters) {
    readParameters(in, preset);
  } else {
    preset.chunk = readChunk(in);
  }
  return preset;
}

std::vector<unsigned char> encodeBank(const PresetBank& bank) {
  Writer out;
  out.magic(kFileMagic);
  out.int32(static_cast<std::int32_t>(kBankHeaderAfterSize + dataSize(bank)));
  const bool programs = bank.kind == PresetBank::Kind::Programs;
  out.magic(programs ? kBankMagic : kBankChunkMagic);
  out.int32(bank.formatVersion);
  out.int32(bank.pluginId);
  out.int32(bank.pluginVersion);
  out.int32(programs ? static_cast<std::int32_t>(bank.programs.size()) : bank.programCount);
  out.int32(bank.formatVersion >= kFirstBankVersionWithCurrentProgram ? bank.currentProgram : 0);
  const unsigned char reserved[kBankReservedBytes - 4] = {};
  out.bytes(reserved, sizeof reserved);
  if (programs) {
    for (const PresetFile& program : bank.programs) {
      const std::vector<unsigned char> bytes = encodePreset(program);
      out.bytes(bytes.data(), bytes.size());
    }
  } else {
    writeChunk(out, bank.chunk);
  }
  return out.take();
}

PresetBank decodeBank(const std::vector<unsigned char>& bytes) {
  Reader in(bytes);
  const std::string kind = readKind(in, bytes.size());
  PresetBank bank;
  if (kind == kBankMagic) {
    bank.kind = PresetBank::Kind::Programs;
  } else if (kind == kBankChunkMagic) {
    bank.kind = PresetBank::Kind::Chunk;
  } else {
    throw PresetFormatError("not a bank of programs or chunk ('" + kind + "')");
  }
  bank.formatVersion = in.int32("header");
  bank.pluginId = in.int32("header");
  bank.pluginVersion = in.int32("header");
  bank.programCount = in.int32("header");
  if (bank.programCount < 0) throw PresetFormatError("a negative program count");
  const std::int32_t currentProgram = in.int32("header");
  in.bytes(kBankReservedBytes - 4, "header");
  if (bank.formatVersion >= kFirstBankVersionWithCurrentProgram)
    bank.currentProgram = currentProgram;
  if (bank.kind == PresetBank::Kind::Programs) {
    readBankPrograms(in, bank);
  } else {
    bank.chunk = readChunk(in);
  }
  return bank;
}

ProgramFile decodeProgramFile(const std::vector<unsigned char>& bytes) {
  if (isBank(bytes)) return decodeBank(bytes);
  return decodePreset(bytes);
}

PresetFile readPresetFile(const std::filesystem::path& path) {
  return decodePreset(readWholeFile(path));
}

ProgramFile readProgramFile(const std::filesystem::path& path) {
  return decodeProgramFile(readWholeFile(path));
}

std::string describePluginId(std::int32_t id) {
  const auto bits = static_cast<std::uint32_t>(id);
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>(bits >> shift);
    if (c < 0x20 || c > 0x7E) return std::to_string(id);
    text += static_cast<char>(c);
  }
  return "'" + text + "' (" + std::to_string(id) + ")";
}
