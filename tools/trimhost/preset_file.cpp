#include "preset_file.h"

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

constexpr char kFileMagic[] = "CcnK";
constexpr char kParametersMagic[] = "FxCk";
constexpr char kChunkMagic[] = "FPCh";

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
  explicit Reader(const std::vector<unsigned char>& in) : in_(in) {}

  const unsigned char* bytes(std::size_t size, const char* what) {
    if (in_.size() - position_ < size)
      throw PresetFormatError(std::string("the file ends inside its ") + what);
    const unsigned char* first = in_.data() + position_;
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
  std::size_t remaining() const { return in_.size() - position_; }

 private:
  const std::vector<unsigned char>& in_;
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

std::string readProgramName(Reader& in) {
  const unsigned char* field = in.bytes(kProgramNameBytes, "program name");
  const void* end = std::memchr(field, '\0', kProgramNameBytes);
  const std::size_t length =
      end != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(end) - field)
                     : kProgramNameBytes;
  return std::string(field, field + length);
}

void readParameters(Reader& in, PresetFile& preset) {
  if (preset.parameterCount < 0) throw PresetFormatError("a negative parameter count");
  if (in.remaining() != 4 * static_cast<std::size_t>(preset.parameterCount))
    throw PresetFormatError("the parameter values do not match the parameter count");
  for (std::int32_t i = 0; i < preset.parameterCount; ++i)
    preset.parameters.push_back(in.float32("parameter values"));
}

void readChunk(Reader& in, PresetFile& preset) {
  const std::int32_t size = in.int32("chunk size");
  if (size < 0 || static_cast<std::size_t>(size) != in.remaining())
    throw PresetFormatError("the chunk size does not match the file");
  const unsigned char* data = in.bytes(static_cast<std::size_t>(size), "chunk");
  preset.chunk.assign(data, data + size);
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
    out.int32(static_cast<std::int32_t>(preset.chunk.size()));
    out.bytes(preset.chunk.data(), preset.chunk.size());
  }
  return out.take();
}

PresetFile decodePreset(const std::vector<unsigned char>& bytes) {
  Reader in(bytes);
  if (!in.magic(kFileMagic, "header")) throw PresetFormatError("not a program file (no 'CcnK')");
  const std::int32_t size = in.int32("header");
  if (size < 0 || static_cast<std::size_t>(size) != bytes.size() - kSizeFieldEnd)
    throw PresetFormatError("the byte size in the header does not match the file");
  PresetFile preset;
  const std::string kind = in.magicText("header");
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
    readChunk(in, preset);
  }
  return preset;
}

PresetFile readPresetFile(const std::filesystem::path& path) {
  return decodePreset(readWholeFile(path));
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
