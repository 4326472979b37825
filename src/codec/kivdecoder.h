/* KivPlayer frame decoder: turns one sample payload into a bitmap file image.
 *
 * Two sets of the same functions:
 * - InitDecoder ... Decompress, for C++: failures of UnZipBuffer are raised as
 *   kiv::EKivError (a std::runtime_error) whose what() is the decoder's message.
 *   An exception cannot pass through C code: do not call these from C.
 * - InitDecoderC ... DecompressC, for C (and anyone who wants no exception):
 *   they never raise. Each returns KIV_DECODER_OK or an error code and copies
 *   the message (UTF-8; "" on success) into message, truncated to messageSize
 *   bytes and always NUL-terminated; message may be NULL when messageSize is 0.
 */
#ifndef KIVDECODER_H
#define KIVDECODER_H

#include <stdbool.h>
#include <stddef.h>
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

/* Error codes of the C functions. */
enum {
    KIV_DECODER_OK = 0,
    /* The payload does not decode or does not fit the destination, its kind is
     * unknown, or the call is wrong (JPEG before InitDecoderC, a null argument). */
    KIV_DECODER_FAILED = 1,
    KIV_DECODER_NO_MEMORY = 2,
    /* Anything else: a fault of the library. */
    KIV_DECODER_INTERNAL = 3
};

/* As InitDecoder; a failure to set up the shared state is an error. */
KIVDECODER_API int32_t InitDecoderC(char* message, size_t messageSize);
/* As UninitDecoder. */
KIVDECODER_API int32_t UninitDecoderC(char* message, size_t messageSize);
/* As UnZipBuffer; *written (may be NULL) gets its result, and is 0 after an error.
 * A kind-2 payload that does not decode is an error here ("LZO1X data damaged"). */
KIVDECODER_API int32_t UnZipBufferC(const uint8_t* source, uint32_t sourceLength, int16_t kind,
                                    uint8_t* dest, uint32_t destCapacity, int32_t* written,
                                    char* message, size_t messageSize);
/* As CheckKivFileHeader; *isKiv gets its result. A null header is an error. */
KIVDECODER_API int32_t CheckKivFileHeaderC(const uint8_t* header, bool* isKiv, char* message,
                                           size_t messageSize);
/* As Decompress; *written (may be NULL) gets the bytes written, and is 0 after an
 * error ("LZO1X data damaged" where Decompress returns -1). */
KIVDECODER_API int32_t DecompressC(const uint8_t* source, int32_t sourceLength, uint8_t* dest,
                                   int32_t* written, char* message, size_t messageSize);

#ifdef __cplusplus
}
#endif

#endif
