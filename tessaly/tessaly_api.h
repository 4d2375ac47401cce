/* TessalyAPI: the workstation's network interfaces and NAT static port mappings as plain
 * C functions under undecorated names. Nothing allocated on one side of the library
 * boundary is freed on the other: the caller owns the interface records, the library owns
 * the mapping objects behind their handles. */
#ifndef TESSALY_TESSALY_API_H
#define TESSALY_TESSALY_API_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define TESSALY_EXPORT __declspec(dllexport)
#else
#define TESSALY_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes, signed 16-bit. 0 or more is success. */
#define TESSALY_OK 0
#define TESSALY_NO_FILE (-2)      /* no temporary name, or a script or listing file failed */
#define TESSALY_BAD_HANDLE (-3)   /* empty handle, not a mapping object, or no address */
#define TESSALY_PORT_OUTSIDE (-7) /* the public port lies outside both port ranges */
#define TESSALY_LIST_FULL (-14)   /* a list would pass 65,535 items */
#define TESSALY_OUT_OF_MEMORY (-15)
#define TESSALY_START_FAILED (-16)  /* the command interpreter could not be started */
#define TESSALY_NOT_AVAILABLE (-17) /* not initialised, a function missing, a query failed */
#define TESSALY_NAT_MISSING (-19)   /* NAT is not installed (and was not to be installed) */

/* Protocol flags of a port mapping. */
#define TESSALY_PROTO_TCP 1
#define TESSALY_PROTO_UDP 2

#define TESSALY_ADAPTER_NAME_SIZE 260
#define TESSALY_DESCRIPTION_UNITS 132
#define TESSALY_FRIENDLY_NAME_UNITS 260
#define TESSALY_FRIENDLY_ANSI_SIZE 520

/* One listed interface, 1,580 bytes. Texts are terminated; UTF-16 texts are UTF-16LE
 * units. Addresses and masks are first octet first. */
typedef struct TessalyNic {
    char adapterName[TESSALY_ADAPTER_NAME_SIZE];        /* the system's identifier */
    uint16_t description[TESSALY_DESCRIPTION_UNITS];    /* UTF-16, up to 131 units */
    uint16_t friendlyName[TESSALY_FRIENDLY_NAME_UNITS]; /* UTF-16, up to 259 units */
    char friendlyNameAnsi[TESSALY_FRIENDLY_ANSI_SIZE];  /* empty when it does not fit */
    uint8_t upFlag;                                     /* 1 when operationally up */
    uint8_t macAddress[6];
    uint8_t ipAddress[4];  /* first IPv4 address; 0.0.0.0 when none */
    uint8_t subnetMask[4]; /* its mask; 255.255.255.0 when none is known */
    uint8_t unused;
} TessalyNic;

#ifdef __cplusplus
#define TESSALY_STATIC_ASSERT static_assert
#else
#define TESSALY_STATIC_ASSERT _Static_assert
#endif
TESSALY_STATIC_ASSERT(sizeof(TessalyNic) == 1580, "interface record size");
TESSALY_STATIC_ASSERT(offsetof(TessalyNic, adapterName) == 0, "adapterName offset");
TESSALY_STATIC_ASSERT(offsetof(TessalyNic, description) == 260, "description offset");
TESSALY_STATIC_ASSERT(offsetof(TessalyNic, friendlyName) == 524, "friendlyName offset");
TESSALY_STATIC_ASSERT(offsetof(TessalyNic, friendlyNameAnsi) == 1044, "friendlyNameAnsi offset");
TESSALY_STATIC_ASSERT(offsetof(TessalyNic, upFlag) == 1564, "upFlag offset");
TESSALY_STATIC_ASSERT(offsetof(TessalyNic, macAddress) == 1565, "macAddress offset");
TESSALY_STATIC_ASSERT(offsetof(TessalyNic, ipAddress) == 1571, "ipAddress offset");
TESSALY_STATIC_ASSERT(offsetof(TessalyNic, subnetMask) == 1575, "subnetMask offset");
TESSALY_STATIC_ASSERT(offsetof(TessalyNic, unused) == 1579, "unused offset");
#undef TESSALY_STATIC_ASSERT

/* 0, or -17 when the platform's interface queries cannot be reached. A second call first
 * undoes the first. */
TESSALY_EXPORT int16_t TessalyInit(void);

/* Releases what TessalyInit obtained and clears the state. Always 0. */
TESSALY_EXPORT int16_t TessalyQuit(void);

/* Lists the wired and wireless interfaces. With no buffer it only counts. Writes the
 * records that fit `capacity` and returns the number found (which may exceed it), or
 * -17 / -15. A failed call may leave the buffer partly written. */
TESSALY_EXPORT int16_t TessalyGetNICs(TessalyNic* records, uint16_t capacity);

/* A NAT mapping object between a public and a private interface. */
typedef void* TessalyHandle;

/* Opens a mapping object for the Ethernet or wireless adapters with these MACs (both may
 * be one adapter) and two port ranges. With usePublicAddress non-zero the new mappings
 * name the public interface's IPv4 address, else 0.0.0.0. No handle (NULL) when the
 * library is not initialised, a range is empty (low not below high), the adapters cannot
 * be listed or memory runs out, or either MAC is not found. */
TESSALY_EXPORT TessalyHandle TessalyOpen(const uint8_t publicMac[6], const uint8_t privateMac[6],
                                         uint16_t usePublicAddress, uint16_t range1Low,
                                         uint16_t range1High, uint16_t range2Low,
                                         uint16_t range2High);

/* Releases the object. 0, or -3. */
TESSALY_EXPORT int16_t TessalyClose(TessalyHandle handle);

/* Adds a mapping of the public interface's publicPort to privateAddress:privatePort
 * (address first octet first) for the protocols (TESSALY_PROTO_*). 0, -3, -7, -14 or -15. */
TESSALY_EXPORT int16_t TessalyAdd(TessalyHandle handle, uint16_t publicPort,
                                  const uint8_t privateAddress[4], uint16_t privatePort,
                                  uint8_t protocols);

/* Rebuilds the NAT configuration: the interfaces and the mappings found outside the
 * object's ranges (or on other interfaces) are kept, the object's mappings replace the
 * rest. 0, -2, -3, -14, -15, -16 or -19. */
TESSALY_EXPORT int16_t TessalyExecute(TessalyHandle handle);

/* Writes the NAT interface listing into the file listingPath (UTF-16, terminated) and
 * reports whether NAT is installed; with install non-zero a missing NAT is installed
 * first. 0, -2, -16 or -19. */
TESSALY_EXPORT int16_t TessalyStatus(const uint16_t* listingPath, int16_t install);

/* Applies the current NAT configuration again. 0, -2 or -16. */
TESSALY_EXPORT int16_t TessalyRefresh(void);

#ifdef __cplusplus
}
#endif

#endif
