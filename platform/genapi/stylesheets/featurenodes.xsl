<?xml version="1.0" encoding="utf-8"?>
<!-- What both header style sheets share: which nodes of a device description
     are features, the C++ names made of its texts, and the smart pointer that
     fits each node kind. Names are matched without their namespace, so every
     schema version of the description reads alike. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <!-- Nodes at the top of the description, in groups, and the entries of
       structure registers; enumeration entries belong to their enumeration. -->
  <xsl:variable name="features"
      select="/*/*[@Name and local-name() != 'Group' and local-name() != 'StructReg']
            | /*/*[local-name() = 'Group']/*[@Name and local-name() != 'StructReg']
            | /*/*[local-name() = 'StructReg']/*[local-name() = 'StructEntry']
            | /*/*[local-name() = 'Group']/*[local-name() = 'StructReg']/*[local-name() = 'StructEntry']"/>

  <xsl:variable name="identifierChars"
      select="'_0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>

  <!-- A model name fit for a C++ identifier: anything else becomes '_'. -->
  <xsl:variable name="model">
    <xsl:call-template name="identifier">
      <xsl:with-param name="text" select="/*/@ModelName"/>
    </xsl:call-template>
  </xsl:variable>

  <xsl:template name="identifier">
    <xsl:param name="text"/>
    <xsl:variable name="others" select="translate($text, $identifierChars, '')"/>
    <xsl:variable name="underscores"
        select="substring('________________________________________________________________', 1, string-length($others))"/>
    <xsl:variable name="name" select="translate($text, $others, $underscores)"/>
    <xsl:choose>
      <xsl:when test="$name = ''">Device</xsl:when>
      <xsl:when test="contains('0123456789', substring($name, 1, 1))">
        <xsl:value-of select="concat('_', $name)"/>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$name"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A tooltip on one comment line: no line breaks, and no backslash that
       would carry the comment into the next line. -->
  <xsl:template name="comment">
    <xsl:param name="indent"/>
    <xsl:variable name="text"
        select="normalize-space(translate(*[local-name() = 'ToolTip'], '\', '/'))"/>
    <xsl:if test="$text != ''">
      <xsl:value-of select="concat($indent, '// ', $text, '&#10;')"/>
    </xsl:if>
  </xsl:template>

  <xsl:template name="pointer-type">
    <xsl:variable name="kind" select="local-name()"/>
    <xsl:choose>
      <xsl:when test="$kind = 'Integer' or $kind = 'IntReg' or $kind = 'MaskedIntReg'
                      or $kind = 'IntSwissKnife' or $kind = 'IntConverter'
                      or $kind = 'StructEntry'">GenApi::CIntegerPtr</xsl:when>
      <xsl:when test="$kind = 'Float' or $kind = 'FloatReg' or $kind = 'SwissKnife'
                      or $kind = 'Converter'">GenApi::CFloatPtr</xsl:when>
      <xsl:when test="$kind = 'Boolean'">GenApi::CBooleanPtr</xsl:when>
      <xsl:when test="$kind = 'Command'">GenApi::CCommandPtr</xsl:when>
      <xsl:when test="$kind = 'Enumeration'">GenApi::CEnumerationPtr</xsl:when>
      <xsl:when test="$kind = 'String' or $kind = 'StringReg'">GenApi::CStringPtr</xsl:when>
      <xsl:when test="$kind = 'Register'">GenApi::CRegisterPtr</xsl:when>
      <xsl:when test="$kind = 'Category'">GenApi::CCategoryPtr</xsl:when>
      <xsl:when test="$kind = 'Port'">GenApi::CPortPtr</xsl:when>
      <xsl:otherwise>GenApi::CNodePtr</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

</xsl:stylesheet>
