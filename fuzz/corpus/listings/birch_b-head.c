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
         