// JPEG pictures through libjpeg. libjpeg reports fatal errors through a
// callback that must not return; it jumps back to the one function that set
// the jump point, which owns no C++ objects, and the caller raises kyt::Error.
#include <stdio.h>  // jpeglib.h needs FILE and size_t before it

#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/Error.h"
#include "core/DecodeBudget.h"
#include "window/decoders/Decoders.h"

namespace kyt {

namespace {

// Progressive files may hold any number of scans; beyond this many the data is
// taken as hostile (each scan would run over the whole picture again).
constexpr int kMaxScans = 1000;

struct ErrorManager {
  jpeg_error_mgr Base;  // first member: libjpeg sees a jpeg_error_mgr*
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
  bool Truncated;
  bool Budget;  // the picture is larger than the data can hold
};

void OnJpegError(j_common_ptr cinfo) {
  ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->Message);
  std::longjmp(err->Jump, 1);
}

// Warnings are borne, except that the data stops before the picture does (the
// file ends, or the scan runs into a marker): libjpeg would go on to fill the
// whole claimed picture with grey, so a few bytes could claim any size.
void OnJpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  ++cinfo->err->num_warnings;
  const int code = cinfo->err->msg_code;
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) {
    err->Truncated = true;
    (*cinfo->err->format_message)(cinfo, err->Message);
    std::longjmp(err->Jump, 1);
  }
}

void OnJpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
      ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
      std::snprintf(err->Message, sizeof err->Message, "too many scans");
      std::longjmp(err->Jump, 1);
    }
  }
}

// A source manager over a block of memory; running out of data inserts an end
// marker, as libjpeg's own readers do, and flags a warning.
void SourceInit(j_decompress_ptr) {}
boolean SourceFill(j_decompress_ptr cinfo) {
  static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = kEnd;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}
void SourceSkip(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  while (static_cast<size_t>(count) > src->bytes_in_buffer) {
    count -= static_cast<long>(src->bytes_in_buffer);
    (*src->fill_input_buffer)(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<size_t>(count);
}
void SourceTerm(j_decompress_ptr) {}

// Everything the decoding function works on, created by the caller so that a
// jump out of libjpeg skips no destructor.
struct Job {
  jpeg_decompress_struct Info;
  ErrorManager Errors;
  jpeg_source_mgr Source;
  jpeg_progress_mgr Progress;
  const uint8_t* Data;
  size_t Size;
  Bitmap* Picture;
  std::vector<uint8_t>* Row;
};

Color CmykColor(const uint8_t* p, bool inverted) {
  uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
  if (!inverted) {  // plain CMYK: 0 means no ink
    c = 255 - c;
    m = 255 - m;
    y = 255 - y;
    k = 255 - k;
  }
  // Adobe writes inverted values: 255 means no ink.
  return MakeColor(uint8_t((c * k + 127) / 255), uint8_t((m * k + 127) / 255), uint8_t((y * k + 127) / 255));
}

// Returns false when libjpeg raised an error; then Errors.Message tells why.
// Only plain data lives in this frame, so the jump back is harmless; the
// bitmap and row buffer belong to the caller and may throw kyt::Error themselves.
bool RunDecoder(Job& job) {
  jpeg_decompress_struct* info = &job.Info;
  if (setjmp(job.Errors.Jump)) return false;

  jpeg_read_header(info, TRUE);
  const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
  info->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_calc_output_dimensions(info);
  if (info->output_width == 0 || info->output_height == 0 ||
      uint64_t(info->output_width) * info->output_height > uint64_t(Bitmap::kMaxPixels)) {
    std::snprintf(job.Errors.Message, sizeof job.Errors.Message, "invalid picture size %u x %u",
                  unsigned(info->output_width), unsigned(info->output_height));
    return false;
  }
  if (!budget::WithinPixelBudget(info->output_width, info->output_height, job.Size)) {
    std::snprintf(job.Errors.Message, sizeof job.Errors.Message, "%s",
                  budget::ClaimsTooMuchText("JPEG", info->output_width, info->output_height, job.Size).c_str());
    job.Errors.Budget = true;
    return false;
  }
  jpeg_start_decompress(info);
  job.Row->resize(size_t(info->output_width) * size_t(info->output_components));
  const bool adobeInverted = cmyk && info->saw_Adobe_marker;
  while (info->output_scanline < info->output_height) {
    const int32_t y = int32_t(info->output_scanline);
    JSAMPROW row = job.Row->data();
    if (jpeg_read_scanlines(info, &row, 1) != 1) {
      std::snprintf(job.Errors.Message, sizeof job.Errors.Message, "no more scan lines");
      return false;
    }
    // The picture's memory is taken once the data has yielded a first row.
    if (y == 0) job.Picture->SetSize(int32_t(info->output_width), int32_t(info->output_height));
    Color* out = job.Picture->Row(y);
    const uint8_t* src = job.Row->data();
    const int32_t width = int32_t(info->output_width);
    if (cmyk) {
      for (int32_t x = 0; x < width; ++x) out[x] = CmykColor(src + 4 * x, adobeInverted);
    } else {
      for (int32_t x = 0; x < width; ++x) out[x] = MakeColor(src[3 * x], src[3 * x + 1], src[3 * x + 2]);
    }
  }
  jpeg_finish_decompress(info);
  return true;
}

class DecompressGuard {
 public:
  explicit DecompressGuard(jpeg_decompress_struct* info) : info_(info) {}
  ~DecompressGuard() { jpeg_destroy_decompress(info_); }
  DecompressGuard(const DecompressGuard&) = delete;
  DecompressGuard& operator=(const DecompressGuard&) = delete;

 private:
  jpeg_decompress_struct* info_;
};

}  // namespace

Bitmap DecodeJpeg(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF)
    throw Error("The data is not a JPEG picture");

  Bitmap picture;
  std::vector<uint8_t> row;
  Job job;
  std::memset(&job, 0, sizeof job);
  job.Data = bytes.data();
  job.Size = bytes.size();
  job.Picture = &picture;
  job.Row = &row;

  job.Info.err = jpeg_std_error(&job.Errors.Base);
  job.Errors.Base.error_exit = OnJpegError;
  job.Errors.Base.emit_message = OnJpegMessage;
  // Creation itself can fail (out of memory): the jump point must exist first.
  if (setjmp(job.Errors.Jump)) throw Error(std::string("The JPEG picture cannot be read: ") + job.Errors.Message);
  jpeg_create_decompress(&job.Info);
  DecompressGuard guard(&job.Info);

  job.Source.init_source = SourceInit;
  job.Source.fill_input_buffer = SourceFill;
  job.Source.skip_input_data = SourceSkip;
  job.Source.resync_to_restart = jpeg_resync_to_restart;
  job.Source.term_source = SourceTerm;
  job.Source.next_input_byte = job.Data;
  job.Source.bytes_in_buffer = job.Size;
  job.Info.src = &job.Source;
  job.Progress.progress_monitor = OnJpegProgress;
  job.Info.progress = &job.Progress;

  if (!RunDecoder(job)) {
    if (job.Errors.Truncated) throw Error("The JPEG picture is truncated");
    if (job.Errors.Budget) throw Error(job.Errors.Message);
    throw Error(std::string("The JPEG picture cannot be read: ") + job.Errors.Message);
  }
  return picture;
}

}  // namespace kyt
