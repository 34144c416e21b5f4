// Finding the playing track's cover. With the player's album-art service: its answer alone,
// which already looks at images beside the track. The service and the memory manager are taken
// from their factories and given back before the call returns; every buffer the service
// returns is copied and freed through the memory manager once, however the call ends. Decoded
// pixels are encoded to PNG by the system's imaging component (WIC, through COM), in a COM
// apartment joined for the call. Without the service: the first of the usual image names in
// the track's folder that holds any bytes.
#include "cover/cover.h"

#include <wincodec.h>

#include <cstdint>
#include <limits>

#include "base/com.h"
#include "base/handle.h"
#include "encoding/encoding.h"
#include "host/host.h"
#include "host/services.h"

namespace {

// The images beside a track, in the order they are looked for.
const wchar_t* const kFolderImageNames[] = {L"cover", L"folder", L"front", L"albumart"};
const wchar_t* const kFolderImageTypes[] = {L".jpg", L".jpeg", L".png"};
// Longest image read from a folder: one read takes it.
constexpr std::uint64_t kLongestFolderImage = 256u << 20;
// Decoded art larger than this on a side is not a cover the player made.
constexpr int kLongestSide = 1 << 15;
// The imaging component's ids, as its header gives them.
constexpr CLSID kImagingFactoryClass = {
    0xCACAF262, 0x9370, 0x4615, {0xA1, 0x3B, 0x9F, 0x55, 0x39, 0xDA, 0x4C, 0x0A}};
constexpr IID kImagingFactoryInterface = {
    0xEC5EC8A9, 0xC395, 0x4314, {0x9C, 0x77, 0x54, 0xD7, 0xA9, 0x35, 0xFF, 0x70}};
constexpr GUID kPngContainer = {
    0x1B7CFAF4, 0x713F, 0x473C, {0xBB, 0xCD, 0x61, 0x37, 0x42, 0x5F, 0xAE, 0xAF}};
constexpr GUID kBgra32Pixels = {
    0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x0F}};

// A service taken from its factory, given back through it when the scope ends.
class ServiceRef {
 public:
  ServiceRef(host::Dispatchable* manager, const GUID& id)
      : factory_(host::ServiceFactory(manager, id)), service_(host::GetInterface(factory_)) {}
  ~ServiceRef() {
    if (service_) host::ReleaseInterface(factory_, service_);
  }
  ServiceRef(const ServiceRef&) = delete;
  ServiceRef& operator=(const ServiceRef&) = delete;
  host::Dispatchable* get() const { return service_; }

 private:
  host::Dispatchable* factory_;
  host::Dispatchable* service_;
};

// A buffer the album-art service returned, freed through the memory manager when the scope
// ends. Set only after the service said it succeeded.
class PlayerBuffer {
 public:
  explicit PlayerBuffer(host::Dispatchable* memory) : memory_(memory) {}
  ~PlayerBuffer() {
    if (p_) host::SysFree(memory_, p_);
  }
  PlayerBuffer(const PlayerBuffer&) = delete;
  PlayerBuffer& operator=(const PlayerBuffer&) = delete;
  void set(void* p) { p_ = p; }

 private:
  host::Dispatchable* memory_;
  void* p_ = nullptr;
};

// Whether the `length` bytes at `p` are memory this process can read: a length the service
// made up (longer than its buffer, longer than the address space) is not followed.
bool Readable(const void* p, std::size_t length) {
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  auto at = reinterpret_cast<std::uintptr_t>(p);
  if (at < host::kFirstAddress || length == 0 || length > UINTPTR_MAX - at) return false;
  const std::uintptr_t end = at + length;
  while (at < end) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0) return false;
    if (region.State != MEM_COMMIT || !(region.Protect & kReadable) ||
        (region.Protect & PAGE_GUARD))
      return false;
    at = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  return true;
}

// The playing entry's file name, wide: the player's wide answer where it has one, else the
// ANSI one from the code page.
std::wstring PlayingFile(unsigned hostVersion) {
  const int position = host::PlaylistPosition();
  if (hostVersion >= host::kFirstWideFileNameVersion) {
    if (const wchar_t* wide = host::FileNameWide(position)) return wide;
  }
  const char* narrow = host::FileName(position);
  if (!narrow) return {};
  return WideText(narrow, Encoding::kAnsi);
}

// width × height pixels 0xAARRGGBB, rows from the top, as a PNG file; none where the system
// has no imaging component or it refuses.
std::optional<std::string> EncodePng(const DWORD* pixels, int width, int height) {
  // The player's thread usually is in one already, which this joins once more.
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  ComRef<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(kImagingFactoryClass, nullptr, CLSCTX_INPROC_SERVER,
                              kImagingFactoryInterface, factory.putVoid())))
    return std::nullopt;
  // In memory, 0xAARRGGBB is blue, green, red, alpha: WIC's 32-bit BGRA, not premultiplied.
  const UINT stride = static_cast<UINT>(width) * 4;
  const UINT size = stride * static_cast<UINT>(height);
  ComRef<IWICBitmap> bitmap;
  ComRef<IStream> stream;
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = kBgra32Pixels;
  bool encoded =
      SUCCEEDED(factory->CreateBitmapFromMemory(
          width, height, kBgra32Pixels, stride, size,
          reinterpret_cast<BYTE*>(const_cast<DWORD*>(pixels)), bitmap.put())) &&
      SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) &&
      SUCCEEDED(factory->CreateEncoder(kPngContainer, nullptr, encoder.put())) &&
      SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(frame.put(), nullptr)) &&
      SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(width, height)) &&
      SUCCEEDED(frame->SetPixelFormat(&format)) && SUCCEEDED(frame->WriteSource(bitmap.get(), nullptr)) &&
      SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  if (!encoded) return std::nullopt;
  HGLOBAL memory = nullptr;
  STATSTG stat = {};
  if (FAILED(GetHGlobalFromStream(stream.get(), &memory)) ||
      FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.QuadPart == 0 ||
      stat.cbSize.QuadPart > GlobalSize(memory))
    return std::nullopt;
  const void* bytes = GlobalLock(memory);
  if (!bytes) return std::nullopt;
  std::string png(static_cast<const char*>(bytes), static_cast<std::size_t>(stat.cbSize.QuadPart));
  GlobalUnlock(memory);
  return png;
}

// The album-art service's cover of `file`: the stored image, else the decoded pixels as PNG.
std::optional<std::string> ServiceCover(host::Dispatchable* albumArt, host::Dispatchable* memory,
                                        const wchar_t* file) {
  {
    void* bits = nullptr;
    std::size_t length = 0;
    wchar_t* mimeType = nullptr;
    PlayerBuffer bitsHeld(memory), mimeHeld(memory);
    if (host::AlbumArtData(albumArt, file, &bits, &length, &mimeType) == host::kAlbumArtSuccess) {
      bitsHeld.set(bits);
      mimeHeld.set(mimeType);
      if (Readable(bits, length)) return std::string(static_cast<const char*>(bits), length);
      return std::nullopt;  // an answer that is no image: the track has none
    }
  }
  int width = 0, height = 0;
  DWORD* pixels = nullptr;
  PlayerBuffer pixelsHeld(memory);
  if (host::AlbumArtPixels(albumArt, file, &width, &height, &pixels) != host::kAlbumArtSuccess)
    return std::nullopt;
  pixelsHeld.set(pixels);
  if (width <= 0 || height <= 0 || width > kLongestSide || height > kLongestSide ||
      !Readable(pixels, std::size_t{4} * static_cast<unsigned>(width) * static_cast<unsigned>(height)))
    return std::nullopt;
  return EncodePng(pixels, width, height);
}

// The whole file, when it holds between one byte and kLongestFolderImage.
std::optional<std::string> ReadImage(const std::wstring& path) {
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size = {};
  if (!file.ok() || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > kLongestFolderImage)
    return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
      read == 0)
    return std::nullopt;
  bytes.resize(read);
  return bytes;
}

// The first image of the usual names in the track's folder that holds anything. The system
// compares names without case.
std::optional<std::string> FolderCover(const std::wstring& file) {
  const std::size_t slash = file.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return std::nullopt;
  const std::wstring folder = file.substr(0, slash + 1);
  for (const wchar_t* name : kFolderImageNames)
    for (const wchar_t* type : kFolderImageTypes)
      if (auto image = ReadImage(folder + name + type)) return image;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> PlayingCover(unsigned hostVersion) {
  const std::wstring file = PlayingFile(hostVersion);
  if (file.empty()) return std::nullopt;
  auto* manager = static_cast<host::Dispatchable*>(host::ApiService());
  if (manager) {
    ServiceRef albumArt(manager, host::kAlbumArtService);
    ServiceRef memory(manager, host::kMemoryManager);
    // Without the memory manager nothing the service returns could be freed: not asked.
    if (albumArt.get() && memory.get()) return ServiceCover(albumArt.get(), memory.get(), file.c_str());
  }
  return FolderCover(file);
}
