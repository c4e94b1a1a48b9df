               # THIS IS A MACHINE GENERATED 'C' FILE LISTING #

# ______________________________ FILE:cfgbirch.c______________________________#

#include <stdio.h>       /* stdio headers */
#include <tw.h>          /* testware API headers */
#include <corvid.h>      /* Vela headers */
#include "ini.h"         /* init routines */


main()
{

     ini_start();    /* setup init package */

          /* CR1 = 0x7 # I/O polarity */
          ini_set(  1, 0x7 , 0xff);

          /* CR2 = 0x0 # ICover Code */
          ini_set(  2, 0x0 , 0xff);

          /* CR3 = 0x1B # Q Cover Code */
          ini_set(  3, 0x1B , 0xff);

          /* CR4 = 0x0 # TX Preamble Length */
          ini_set(  4, 0x0 , 0xff);

          /* CR5 = 0x0 # TX Signal Field */
          ini_set(  5, 0x0 , 0xff);

          /* CR6 = 0x0 # TX Service Field */
          ini_set(  6, 0x0 , 0xff);

          /* CR7 = 0x0 # TX Length Field, High */
          ini_set(  7, 0x0 , 0xff);

          /* CR8 = 0x0 # TX Length Field, Low */
          ini_set(  8, 0x0 , 0xff);

          /* CR9 = 0x8A # TX Configure */
          ini_set(  9, 0x8A , 0xff);

          /* CR10 = 0xB3 # RX Configure */
          ini_set(  10, 0xB3 , 0xff);

          /* CR11 = 0x9B # RX/TX Configure */
          ini_set(  11, 0x9B , 0xff);

          /* CR12 = 0x0 # A/D Test Modes 1 */
          ini_set(  12, 0x0 , 0xff);

          /* CR13 = 0x0 # A/D Test Modes 2 */
          ini_set(  13, 0x0 , 0xff);

          /* CR14 = 0x28 # A/D Test Modes 3 */
          ini_set(  14, 0x28 , 0xff);

          /* CR15 = 0x0 # AGC GainClip */
          ini_set(  15, 0x0 , 0xff);

          /* CR16 = 0x44 # AGC LowerSatCount */
          ini_set(  16, 0x44 , 0xff);

          /* CR17 = 0x0 # AGC TimerCount */
          ini_set(  17, 0x0 , 0xff);

          /* CR18 = 0x0 # AGCHiSat */
          ini_set(  18, 0x0 , 0xff);

          /* CR19 = 0x0 # AGC LockinLevel */
          ini_set(  19, 0x0 , 0xff);

          /* CR20 = 0x80 # AGC LockWindow */
          ini_set(  20, 0x80 , 0xff);

          /* CR21 = 0x0 # AGC Threshold */
          ini_set(  21, 0x0 , 0xff);

          /* CR22 = 0x20 # AGC Lookup Table Addr and Control */
          ini_set(  22, 0x20 , 0xff);

          /* CR23 = 0x10 # AGC Lookup Table Data */
          ini_set(  23, 0x10 , 0xff);

          /* CR24 = 0x5 # AGC LoopGain */
          ini_set(  24, 0x5 , 0xff);

          /* CR25 = 0x0 # AGC RX_IF */
          ini_set(  25, 0x0 , 0xff);

          /* CR26 = 0x0 # AGC Test Modes */
          ini_set(  26, 0x0 , 0xff);

          /* CR27 = 0x0 # AGC RX_RF Threshold */
          ini_set(  27, 0x0 , 0xff);

          /* CR28 = 0x0 # AGC Low SatAtten */
          ini_set(  28, 0x0 , 0xff);

          /* CR29 = 0x0 # AGC Min SigAtten */
          ini_set(  29, 0x0 , 0xff);

          /* CR30 = 0x0 # Carrier Sense 2 */
          ini_set(  30, 0x0 , 0xff);

          /* CR31 = 0x48 # Manual TX Power Control */
          ini_set(  31, 0x48 , 0xff);

          /* CR32 = 0x1F # Test Modes 1 */
          ini_set(  32, 0x1F , 0xff);

          /* CR33 = 0x0 # Test Modes 2 */
          ini_set(  33, 0x0 , 0xff);

          /* CR34 = 0x0 # Test Bus Address */
          ini_set(  34, 0x0 , 0xff);

          /* CR35 = 0x0 # CMF Coefficient Control */
          ini_set(  35, 0x0 , 0xff);

          /* CR36 = 0x0 # Scrambler Seed, Long Preamble Option */
          ini_set(  36, 0x0 , 0xff);

          /* CR37 = 0x0 # Scrambler Seed Short Preamble Option */
          ini_set(  37, 0x0 , 0xff);

          /* CR38 = 0x0 # ED Threshold */
          ini_set(  38, 0x0 , 0xff);

          /* CR39 = 0x0 # CMF Gain Threshold */
          ini_set(  39, 0x0 , 0xff);

          /* CR40 = 0x33 # Treshold for antenna decision */
          ini_set(  40, 0x33 , 0xff);

          /* CR41 = 0x0 # Preamble tracking loop lead cooefficient */
          ini_set(  41, 0x0 , 0xff);

          /* CR42 = 0x0 # Preamble tracking loop lag cooefficient */
          ini_set(  42, 0x0 , 0xff);

          /* CR43 = 0x0 # Header tracking loop lead cooefficient */
          ini_set(  43, 0x0 , 0xff);

          /* CR44 = 0x0 # Header tracking loop lag cooefficient */
          ini_set(  44, 0x0 , 0xff);

          /* CR45 = 0x0 # Data tracking loop lead cooefficient */
          ini_set(  45, 0x0 , 0xff);

          /* CR46 = 0x0 # Data tracking loop lag cooefficient */
          ini_set(  46, 0x0 , 0xff);

          /* CR47 = 0xC # RF attenuator value */
          ini_set(  47, 0xC , 0xff);

          /* CR48 = 0x0 # ED and SQ1 control and SQ1 scal factor */
          ini_set(  48, 0x0 , 0xff);

          /* CR49 = 0x4 # Mux control for Read only registers  */
          ini_set(  49, 0x4 , 0xff);

          /* SR0 = 0x20 # Set AGC Register 0 + offset */
          ini_set( 22, 0x20 , 0xff);
          /* SR0 = 0x10 # Write AGC Register 0 */
          ini_set( 23, 0x10 , 0xff);

          /* SR1 = 0x21 # Set AGC Register 1 + offset */
          ini_set( 22, 0x21 , 0xff);
          /* SR1 = 0x13 # Write AGC Register 1 */
          ini_set( 23, 0x13 , 0xff);

          /* SR2 = 0x22 # Set AGC Register 2 + offset */
          ini_set( 22, 0x22 , 0xff);
          /* SR2 = 0x16 # Write AGC Register 2 */
          ini_set( 23, 0x16 , 0xff);

          /* SR3 = 0x23 # Set AGC Register 3 + offset */
          ini_set( 22, 0x23 , 0xff);
          /* SR3 = 0x19 # Write AGC Register 3 */
          ini_set( 23, 0x19 , 0xff);

          /* SR4 = 0x24 # Set AGC Register 4 + offset */
          ini_set( 22, 0x24 , 0xff);
          /* SR4 = 0x1C # Write AGC Register 4 */
          ini_set( 23, 0x1C , 0xff);

          /* SR5 = 0x25 # Set AGC Register 5 + offset */
          ini_set( 22, 0x25 , 0xff);
          /* SR5 = 0x3F # Write AGC Register 5 */
          ini_set( 23, 0x3F , 0xff);

          /* SR6 = 0x26 # Set AGC Register 6 + offset */
          ini_set( 22, 0x26 , 0xff);
          /* SR6 = 0x22 # Write AGC Register 6 */
          ini_set( 23, 0x22 , 0xff);

          /* SR7 = 0x27 # Set AGC Register 7 + offset */
          ini_set( 22, 0x27 , 0xff);
          /* SR7 = 0x25 # Write AGC Register 7 */
          ini_set( 23, 0x25 , 0xff);

          /* SR8 = 0x28 # Set AGC Register 8 + offset */
          ini_set( 22, 0x28 , 0xff);
          /* SR8 = 0x28 # Write AGC Register 8 */
          ini_set( 23, 0x28 , 0xff);

          /* SR9 = 0x29 # Set AGC Register 9 + offset */
          ini_set( 22, 0x29 , 0xff);
          /* SR9 = 0x2B # Write AGC Register 9 */
          ini_set( 23, 0x2B , 0xff);

          /* SR10 = 0x2A # Set AGC Register 10 + offset */
          ini_set( 22, 0x2A , 0xff);
          /* SR10 = 0x7 # Write AGC Register 10 */
          ini_set( 23, 0x7 , 0xff);

          /* SR11 = 0x2B # Set AGC Register 11 + offset */
          ini_set( 22, 0x2B , 0xff);
          /* SR11 = 0x31 # Write AGC Register 11 */
          ini_set( 23, 0x31 , 0xff);

          /* SR12 = 0x2C # Set AGC Register 12 + offset */
          ini_set( 22, 0x2C , 0xff);
          /* SR12 = 0x34 # Write AGC Register 12 */
          ini_set( 23, 0x34 , 0xff);

          /* SR13 = 0x2D # Set AGC Register 13 + offset */
          ini_set( 22, 0x2D , 0xff);
          /* SR13 = 0x37 # Write AGC Register 13 */
          ini_set( 23, 0x37 , 0xff);

          /* SR14 = 0x2E # Set AGC Register 14 + offset */
          ini_set( 22, 0x2E , 0xff);
          /* SR14 = 0x3A # Write AGC Register 14 */
          ini_set( 23, 0x3A , 0xff);

          /* SR15 = 0x2F # Set AGC Register 15 + offset */
          ini_set( 22, 0x2F , 0xff);
          /* SR15 = 0x3D # Write AGC Register 15 */
          ini_set( 23, 0x3D , 0xff);

          /* SR16 = 0x30 # Set AGC Register 16 + offset */
          ini_set( 22, 0x30 , 0xff);
          /* SR16 = 0x40 # Write AGC Register 16 */
          ini_set( 23, 0x40 , 0xff);

          /* SR17 = 0x31 # Set AGC Register 17 + offset */
          ini_set( 22, 0x31 , 0xff);
          /* SR17 = 0x43 # Write AGC Register 17 */
          ini_set( 23, 0x43 , 0xff);

          /* SR18 = 0x32 # Set AGC Register 18 + offset */
          ini_set( 22, 0x32 , 0xff);
          /* SR18 = 0x46 # Write AGC Register 18 */
          ini_set( 23, 0x46 , 0xff);

          /* SR19 = 0x33 # Set AGC Register 19 + offset */
          ini_set( 22, 0x33 , 0xff);
          /* SR19 = 0x49 # Write AGC Register 19 */
          ini_set( 23, 0x49 , 0xff);

          /* SR20 = 0x34 # Set AGC Register 20 + offset */
          ini_set( 22, 0x34 , 0xff);
          /* SR20 = 0x4C # Write AGC Register 20 */
          ini_set( 23, 0x4C , 0xff);

          /* SR21 = 0x35 # Set AGC Register 21 + offset */
          ini_set( 22, 0x35 , 0xff);
          /* SR21 = 0x4F # Write AGC Register 21 */
          ini_set( 23, 0x4F , 0xff);

          /* SR22 = 0x36 # Set AGC Register 22 + offset */
          ini_set( 22, 0x36 , 0xff);
          /* SR22 = 0x52 # Write AGC Register 22 */
          ini_set( 23, 0x52 , 0xff);

          /* SR23 = 0x37 # Set AGC Register 23 + offset */
          ini_set( 22, 0x37 , 0xff);
          /* SR23 = 0x55 # Write AGC Register 23 */
          ini_set( 23, 0x55 , 0xff);

          /* SR24 = 0x38 # Set AGC Register 24 + offset */
          ini_set( 22, 0x38 , 0xff);
          /* SR24 = 0x58 # Write AGC Register 24 */
          ini_set( 23, 0x58 , 0xff);

          /* SR25 = 0x39 # Set AGC Register 25 + offset */
          ini_set( 22, 0x39 , 0xff);
          /* SR25 = 0x5B # Write AGC Register 25 */
          ini_set( 23, 0x5B , 0xff);

          /* SR26 = 0x3A # Set AGC Register 26 + offset */
          ini_set( 22, 0x3A , 0xff);
          /* SR26 = 0x5E # Write AGC Register 26 */
          ini_set( 23, 0x5E , 0xff);

          /* SR27 = 0x3B # Set AGC Register 27 + offset */
          ini_set( 22, 0x3B , 0xff);
          /* SR27 = 0x61 # Write AGC Register 27 */
          ini_set( 23, 0x61 , 0xff);

          /* SR28 = 0x3C # Set AGC Register 28 + offset */
          ini_set( 22, 0x3C , 0xff);
          /* SR28 = 0x64 # Write AGC Register 28 */
          ini_set( 23, 0x64 , 0xff);

          /* SR29 = 0x3D # Set AGC Register 29 + offset */
          ini_set( 22, 0x3D , 0xff);
          /* SR29 = 0x67 # Write AGC Register 29 */
          ini_set( 23, 0x67 , 0xff);

          /* SR30 = 0x3E # Set AGC Register 30 + offset */
          ini_set( 22, 0x3E , 0xff);
          /* SR30 = 0x6A # Write AGC Register 30 */
          ini_set( 23, 0x6A , 0xff);

          /* SR31 = 0x3F # Set AGC Register 31 + offset */
          ini_set( 22, 0x3F , 0xff);
          /* SR31 = 0x6D # Write AGC Register 31 */
          ini_set( 23, 0x6D , 0xff);

     ini_end();
}

# GENERATED:<date>

# END OF INI LISTING CFGBIRCH.C #
