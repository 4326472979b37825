/* The decoder's C forms called from C, compiled as C: a failure must come back as a
 * code, since an exception reaching these frames would end the process. */
#include "codec/kivdecoder.h"

#include <string.h>

int KivCFormsFromC(const char** failedStep);

/* 0 when every call answers as it should; otherwise 1, naming the call. */
int KivCFormsFromC(const char** failedStep) {
    static uint8_t dest[5242880];
    const uint8_t notJpeg[] = {'B', 'M', 0, 0};
    const uint8_t garbage[] = {0xFF, 0xFF, 0xFF};
    char message[64];
    int32_t written = -1;

    *failedStep = "InitDecoderC";
    if (InitDecoderC(message, sizeof message) != KIV_DECODER_OK) return 1;
    *failedStep = "UnZipBufferC";
    if (UnZipBufferC(notJpeg, sizeof notJpeg, 1, dest, sizeof dest, &written, message,
                     sizeof message) != KIV_DECODER_FAILED ||
        strcmp(message, "JPEG 文件被损坏") != 0 || written != 0)
        return 1;
    *failedStep = "DecompressC";
    if (DecompressC(garbage, sizeof garbage, dest, &written, message, sizeof message) !=
            KIV_DECODER_FAILED ||
        strcmp(message, "LZO1X data damaged") != 0)
        return 1;
    *failedStep = "UninitDecoderC";
    return UninitDecoderC(message, sizeof message) != KIV_DECODER_OK;
}
