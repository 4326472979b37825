/* KivPlayer frame decoder: turns one sample payload into a bitmap file image.
 *
 * Failures of UnZipBuffer are raised as kiv::EKivError (a std::runtime_error)
 * whose what() is the decoder's message text; call it from C++.
 */
#ifndef KIVDECODER_H
#define KIVDECODER_H

#include <stdbool.h>
#include <stdint.h>

#if defined(__GNUC__)
#define KIVDECODER_API __attribute__((visibility("default")))
#else
#define KIVDECODER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Adds a user of the shared JPEG scratch state; must precede JPEG decoding. */
KIVDECODER_API bool InitDecoder(void);
/* Removes a user; the last one frees the shared state. Always true. */
KIVDECODER_API bool UninitDecoder(void);
/* Decodes a payload of compression kind 0 (raw), 1 (JPEG), 2 (LZO1X) or 3 (zlib)
 * into dest. Returns the image size (the 32-bit field at byte 2 of the image for
 * kind 3), 0 for an empty source, -1 for a kind-2 payload that does not decode. */
KIVDECODER_API int32_t UnZipBuffer(const uint8_t* source, uint32_t sourceLength, int16_t kind,
                                   uint8_t* dest, uint32_t destCapacity);
/* True when the recording header starts with the magic "KQ". */
KIVDECODER_API bool CheckKivFileHeader(const uint8_t* header);
/* Decodes one LZO1X block into dest, which must hold 5,242,880 bytes.
 * Returns the bytes written, or -1. */
KIVDECODER_API int32_t Decompress(const uint8_t* source, int32_t sourceLength, uint8_t* dest);

#ifdef __cplusplus
}
#endif

#endif
