               # THIS IS A MACHINE GENERATED 'C' FILE LISTING #

# ______________________________ FILE:cfgalder.c______________________________#

#include <stdio.h>       /* stdio headers */
#include <tw.h>          /* testware API headers */
#include <corvid.h>      /* Vela headers */
#include "ini.h"         /* init routines */


main()
{

     ini_start();    /* setup init package */

          /* CR1 = 0x7 # I/O polarity */
          ini_set(  1, 0x7 , 0xff);

          /* CR2 = 0x0 # TX & RX Control */
          ini_set(  2, 0x0 , 0xff);

          /* CR3 = 0x1B # A/D_CAL_POS Register */
          ini_set(  3, 0x1B , 0xff);

          /* CR4 = 0x40 # A/D_CAL_NEG Register */
          ini_set(  4, 0x40 , 0xff);

          /* CR5 = 0xA # CCA antenna control */
          ini_set(  5, 0xA , 0xff);

          /* CR6 = 0x7F # Preamble Length */
          ini_set(  6, 0x7F , 0xff);

          /* CR7 = 0x0 # Scramble_Tap(RX and TX) */
          ini_set(  7, 0x0 , 0xff);

          /* CR8 = 0x20 # RX_SQ1_ACQ(High)Threshold */
          ini_set(  8, 0x20 , 0xff);

          /* CR9 = 0x8A # RX_SQ1_ACQ(Low)Threshold */
          ini_set(  9, 0x8A , 0xff);

          /* CR10 = 0xB3 # RX_SQ2_ACQ(High)Threshold */
          ini_set(  10, 0xB3 , 0xff);

          /* CR11 = 0x0 # RX_SQ1_ACQ(Low)Threshold */
          ini_set(  11, 0x0 , 0xff);

          /* CR12 = 0xC # SQ1 CCA Thresh (high) */
          ini_set(  12, 0xC , 0xff);

          /* CR13 = 0x28 # SQ1 CCA Thresh(low) */
          ini_set(  13, 0x28 , 0xff);

          /* CR14 = 0x2 # ED or RSSI Thresh */
          ini_set(  14, 0x2 , 0xff);

          /* CR15 = 0x0 # SFD Timer */
          ini_set(  15, 0x0 , 0xff);

          /* CR16 = 0x44 # Signal Field(BPSK) or Q cover code */
          ini_set(  16, 0x44 , 0xff);

          /* CR17 = 0x3C # Signal Field(QPSK) or I cover code */
          ini_set(  17, 0x3C , 0xff);

          /* CR18 = 0x0 # Signal Field(BPSK_Mod Walsh sequence) */
          ini_set(  18, 0x0 , 0xff);

          /* CR19 = 0x6 # Signal Field(QPSK_Mod Walsh sequence) */
          ini_set(  19, 0x6 , 0xff);

          /* CR20 = 0x80 # TX Signal Field */
          ini_set(  20, 0x80 , 0xff);

          /* CR21 = 0x0 # TX Service Field */
          ini_set(  21, 0x0 , 0xff);

          /* CR22 = 0x0 # TX Length Field(high) */
          ini_set(  22, 0x0 , 0xff);

          /* CR23 = 0x0 # TX Length Field(low) */
          ini_set(  23, 0x0 , 0xff);

          /* CR28 = 0x13 # Test Bus Address */
          ini_set(  28, 0x13 , 0xff);

          /* CR30 = 0x1 # Test Register 1 */
          ini_set(  30, 0x1 , 0xff);

          /* CR31 = 0x40 # RX Control MBOK/CCK */
          ini_set(  31, 0x40 , 0xff);

     ini_end();
}

# GENERATED:<date>

# END OF INI LISTING CFGALDER.C #
